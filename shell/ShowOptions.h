// What the shell tree, list and combo show of a folder.
//   TKivShellShowOption    the nine options (bit n of the set is member n)
//   TKivShellShowOptions   a 16-bit set of them
//   KivListShowOptions, KivComboShowOptions   the defaults of list and combo
//   IsShownObject          whether the navigator's current child is shown under a set
#pragma once

#include <cstdint>
#include <initializer_list>

namespace zelnor {

class TZelnor;

enum TKivShellShowOption {
  soShowNethood,           // the network neighbourhood
  soShowRecycleBin,        // the recycle bin and hidden "RECYCL..." folders
  soShowErrorMessages,     // the navigator may show the shell's error boxes
  soShowHidden,            // hidden objects
  soShowFiles,             // non-folder objects
  soShowContextMenuOnTop,  // application menu entries above the shell's
  soColorCompressed,       // compressed objects in blue
  soColorEncrypted,        // encrypted objects in green
  soNoFillOnStartup,       // wait for the first navigation instead of filling after loading
};

class TKivShellShowOptions {
 public:
  constexpr TKivShellShowOptions() = default;
  constexpr explicit TKivShellShowOptions(uint16_t bits) : bits_(bits) {}
  constexpr TKivShellShowOptions(std::initializer_list<TKivShellShowOption> members) {
    for (TKivShellShowOption m : members) bits_ = uint16_t(bits_ | Bit(m));
  }

  constexpr uint16_t Bits() const { return bits_; }
  constexpr bool Contains(TKivShellShowOption member) const { return (bits_ & Bit(member)) != 0; }
  constexpr TKivShellShowOptions& Include(TKivShellShowOption member) {
    bits_ = uint16_t(bits_ | Bit(member));
    return *this;
  }
  constexpr TKivShellShowOptions& Exclude(TKivShellShowOption member) {
    bits_ = uint16_t(bits_ & ~Bit(member));
    return *this;
  }
  // The set with `member` added (on) or removed (off): the setter of a Boolean property.
  constexpr TKivShellShowOptions With(TKivShellShowOption member, bool on) const {
    TKivShellShowOptions result = *this;
    return on ? result.Include(member) : result.Exclude(member);
  }
  friend constexpr bool operator==(TKivShellShowOptions a, TKivShellShowOptions b) {
    return a.bits_ == b.bits_;
  }

 private:
  static constexpr uint16_t Bit(TKivShellShowOption member) { return uint16_t(1u << member); }
  uint16_t bits_ = 0;
};

inline constexpr TKivShellShowOptions KivListShowOptions{soShowNethood, soShowRecycleBin,
                                                         soShowFiles};   // 0x13
inline constexpr TKivShellShowOptions KivComboShowOptions{soShowNethood, soShowRecycleBin};  // 3

// The shown-object test: whether the navigator's current child is shown under `options`.
// Hidden objects need soShowHidden; the network places soShowNethood; the recycle bin (and
// hidden folders named RECYCL...) soShowRecycleBin; non-folders soShowFiles.
bool IsShownObject(TZelnor& navigator, TKivShellShowOptions options);

}  // namespace zelnor
