// Published properties and form streaming: round trips, defaults, fix-ups, Loaded order, bad text.
#include "host/core/Streaming.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace host;

namespace {

enum TBlinkMode { bmOff, bmSlow, bmFast };
const TEnumInfo BlinkModeInfo{"bmOff", "bmSlow", "bmFast"};
enum TBlinkPart { bpCaption, bpBorder, bpIcon };
const TEnumInfo BlinkPartInfo{"bpCaption", "bpBorder", "bpIcon"};
// An enumeration whose values are not its positions.
enum TShade { shLight = 2, shDark = 7 };
const TEnumInfo ShadeInfo{{"shLight", 2}, {"shDark", 7}};

using TQueryEvent = std::function<void(TObject* sender, bool& allow)>;

std::vector<String> journal;  // what the test components report, in order
int liveWidgets = 0;
bool failLoaded = false;  // makes Loaded of a widget named B raise

// A sub-object published as Part.Size and Part.Label.
class TTestPart : public TPersistent {
  HOST_CLASS(TTestPart, TPersistent)
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  String label;

 private:
  int size_ = 8;
};

HOST_PROPERTIES(TTestPart) {
  p.Int("Size", &TTestPart::Size, &TTestPart::SetSize, 8);
  p.Str("Label", &TTestPart::label, &TTestPart::label);
}

class TTestWidget : public TComponent {
  HOST_CLASS(TTestWidget, TComponent)
  explicit TTestWidget(TComponent* owner = nullptr) : TComponent(owner) { ++liveWidgets; }
  ~TTestWidget() override { --liveWidgets; }

  int Count() const { return count_; }
  void SetCount(int count) {
    count_ = count;
    journal.push_back(Name() + ".Count loading=" + (Has(TComponentStateFlag::csLoading) ? "1" : "0"));
  }
  TTestWidget* Partner() const { return partner_; }
  void SetPartner(TTestWidget* partner) {
    if (partner_) partner_->RemoveFreeNotification(this);
    partner_ = partner;
    if (partner_) partner_->FreeNotification(this);
  }
  TTestPart* Part() const { return part_.get(); }
  TStringList* Lines() const { return lines_.get(); }
  String Version() const { return ClassName() + " V4.2"; }
  void Loaded() override {
    TComponent::Loaded();
    if (failLoaded && Name() == "B") throw EComponentError("B cannot start");
    if (failLoaded && Name() == "C") {
      // As a component applies a property it put off while loading.
      const TLoadingProperty applying("Count");
      throw EComponentError("C cannot count");
    }
    journal.push_back(Name() + ".Loaded partner=" + (partner_ ? partner_->Name() : String("nil")));
  }

  int64_t big = 0;
  bool enabled = true;
  TBlinkMode mode = bmSlow;
  unsigned parts = 1u << bpCaption;
  TShade shade = shLight;
  String caption;
  double ratio = 1.5;
  TDateTime stamp = 0;
  int always = 0;
  uint8_t small = 0;
  TNotifyEvent OnChange;
  TQueryEvent OnQuery;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == partner_) partner_ = nullptr;
  }

 private:
  int count_ = 0;
  TTestWidget* partner_ = nullptr;
  std::unique_ptr<TTestPart> part_ = std::make_unique<TTestPart>();
  std::unique_ptr<TStringList> lines_ = std::make_unique<TStringList>();
};

HOST_PROPERTIES(TTestWidget) {
  p.Int("Count", &TTestWidget::Count, &TTestWidget::SetCount, 0);
  p.Int64("Big", &TTestWidget::big, &TTestWidget::big);
  p.Bool("Enabled", &TTestWidget::enabled, &TTestWidget::enabled, true);
  p.Enum("Mode", BlinkModeInfo, &TTestWidget::mode, &TTestWidget::mode, bmSlow);
  p.Set("Parts", BlinkPartInfo, &TTestWidget::parts, &TTestWidget::parts, 1u << bpCaption);
  p.Enum("Shade", ShadeInfo, &TTestWidget::shade, &TTestWidget::shade, shLight);
  p.Str("Caption", &TTestWidget::caption, &TTestWidget::caption);
  p.Float("Ratio", &TTestWidget::ratio, &TTestWidget::ratio, 1.5);
  p.DateTime("Stamp", &TTestWidget::stamp, &TTestWidget::stamp);
  p.Strings("Lines", &TTestWidget::Lines);
  p.Object("Part", &TTestWidget::Part);
  p.Component("Partner", &TTestWidget::Partner, &TTestWidget::SetPartner);
  p.Int("Always", &TTestWidget::always, &TTestWidget::always).NoDefault();
  p.Int("Small", &TTestWidget::small, [](TTestWidget* w, uint8_t v) { w->small = v; });
  p.Str("Version", &TTestWidget::Version, nullptr).NeverStored();
  p.Event("OnChange", &TTestWidget::OnChange);
  p.Event("OnQuery", &TTestWidget::OnQuery);
}

// A component of another class, to test the class check of references.
class TTestOther : public TComponent {
  HOST_CLASS(TTestOther, TComponent)
  using TComponent::TComponent;
};
HOST_PROPERTIES(TTestOther) {}

class TTestForm : public TComponent {
  HOST_CLASS(TTestForm, TComponent)
  explicit TTestForm(TComponent* owner = nullptr) : TComponent(owner) {}
  void Loaded() override {
    TComponent::Loaded();
    journal.push_back(Name() + ".Loaded");
  }
  TStringList* Notes() const { return notes_.get(); }
  void SetNotes(const TStrings* notes) {
    notes_->Assign(notes);
    ++notesSet;
  }
  bool IsCodeStored() const { return code != 99; }
  String title;
  int code = 0;
  int notesSet = 0;

 private:
  std::unique_ptr<TStringList> notes_ = std::make_unique<TStringList>();
};
HOST_PROPERTIES(TTestForm) {
  p.Str("Title", &TTestForm::title, &TTestForm::title);
  p.Strings("Notes", &TTestForm::Notes, &TTestForm::SetNotes);
  p.Int("Code", &TTestForm::code, &TTestForm::code).StoredIf(&TTestForm::IsCodeStored);
}

// Text with LF line ends, for comparing with literals.
String Lf(String text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

class Streaming : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterClasses({ComponentClass<TTestForm>(), ComponentClass<TTestWidget>(),
                     ComponentClass<TTestOther>()});
    journal.clear();
    handlers.Register<TNotifyEvent>("FormChange", [this](TObject* sender) {
      changedBy = static_cast<TComponent*>(sender)->Name();
    });
    handlers.Register<TQueryEvent>("FormQuery", [](TObject*, bool& allow) { allow = false; });
  }
  void TearDown() override { EXPECT_EQ(liveWidgets, 0); }

  std::unique_ptr<TComponent> Read(const String& text) {
    return std::unique_ptr<TComponent>(CreateComponentFromText(text, nullptr, handlers));
  }

  TEventHandlers handlers;
  String changedBy;
};

}  // namespace

TEST_F(Streaming, WritesOnlyValuesThatDifferFromTheirDefaults) {
  TTestForm form;
  form.SetName("Form1");
  (new TTestWidget(&form))->SetName("W1");
  new TTestWidget(&form);  // unnamed: not part of the form
  EXPECT_EQ(Lf(WriteComponentText(&form)),
            "object Form1: TTestForm\n"
            "  object W1: TTestWidget\n"
            "    Always = 0\n"
            "  end\n"
            "end\n");
}

TEST_F(Streaming, EveryKindRoundTrips) {
  TTestForm form;
  form.SetName("Form1");
  form.title = "It's";
  form.Notes()->Add("n\xC3\xB6te");
  form.code = 99;  // asks not to be stored
  auto* w = new TTestWidget(&form);
  w->SetName("W1");
  w->SetCount(-42);
  w->big = -9000000000LL;
  w->enabled = false;
  w->mode = bmFast;
  w->parts = (1u << bpBorder) | (1u << bpIcon);
  w->shade = shDark;
  w->caption = "O'Neil \xC3\xA9t\xC3\xA9\r\nline\ttwo";
  w->ratio = 0.1;
  w->stamp = 45000.25;
  w->Lines()->Add("first 'one'");
  w->Lines()->Add("");
  w->Part()->SetSize(11);
  w->Part()->label = "bold";
  w->SetPartner(w);
  w->small = 200;
  AssignEvent(w, "OnChange", "FormChange", handlers);

  const String text = WriteComponentText(&form);
  EXPECT_EQ(Lf(text),
            "object Form1: TTestForm\n"
            "  Title = 'It''s'\n"
            "  Notes = ( 'n\xC3\xB6te' )\n"
            "  object W1: TTestWidget\n"
            "    Count = -42\n"
            "    Big = -9000000000\n"
            "    Enabled = False\n"
            "    Mode = bmFast\n"
            "    Parts = [bpBorder, bpIcon]\n"
            "    Shade = shDark\n"
            "    Caption = 'O''Neil \xC3\xA9t\xC3\xA9'#13#10'line'#9'two'\n"
            "    Ratio = 0.1\n"
            "    Stamp = 45000.25\n"
            "    Lines = ( 'first ''one''' '' )\n"
            "    Part.Size = 11\n"
            "    Part.Label = 'bold'\n"
            "    Partner = W1\n"
            "    Always = 0\n"
            "    Small = 200\n"
            "    OnChange = FormChange\n"
            "  end\n"
            "end\n");

  journal.clear();
  auto copy = Read(text);
  ASSERT_NE(copy, nullptr);
  auto* f = dynamic_cast<TTestForm*>(copy.get());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Name(), "Form1");
  EXPECT_EQ(f->title, "It's");
  EXPECT_EQ(f->Notes()->Text(), "n\xC3\xB6te\r\n");
  EXPECT_EQ(f->notesSet, 1);
  EXPECT_EQ(f->code, 0);
  auto* r = dynamic_cast<TTestWidget*>(f->FindComponent("W1"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Owner(), f);
  EXPECT_EQ(r->Count(), -42);
  EXPECT_EQ(r->big, -9000000000LL);
  EXPECT_FALSE(r->enabled);
  EXPECT_EQ(r->mode, bmFast);
  EXPECT_EQ(r->parts, (1u << bpBorder) | (1u << bpIcon));
  EXPECT_EQ(r->shade, shDark);
  EXPECT_EQ(r->caption, w->caption);
  EXPECT_EQ(r->ratio, 0.1);
  EXPECT_EQ(r->stamp, 45000.25);
  EXPECT_EQ(r->Lines()->Text(), "first 'one'\r\n\r\n");
  EXPECT_EQ(r->Part()->Size(), 11);
  EXPECT_EQ(r->Part()->label, "bold");
  EXPECT_EQ(r->Partner(), r);
  EXPECT_EQ(r->small, 200);
  EXPECT_EQ(r->EventName("OnChange"), "FormChange");
  ASSERT_TRUE(r->OnChange);
  r->OnChange(r);
  EXPECT_EQ(changedBy, "W1");
  EXPECT_FALSE(r->OnQuery);
  // What was read writes the same text again.
  EXPECT_EQ(WriteComponentText(f), text);
}

TEST_F(Streaming, ReferencesAndEventsAreBoundOnceTheWholeFormIsRead) {
  auto form = Read(
      "object Form1: TTestForm\n"
      "  object A: TTestWidget\n"
      "    Partner = B\n"  // B is read later
      "    OnQuery = formquery\n"
      "  end\n"
      "  object B: TTestWidget\n"
      "    Count = 1\n"
      "    Partner = Form1W\n"
      "  end\n"
      "  object Form1W: TTestWidget\n"
      "    Partner = nil\n"
      "  end\n"
      "end\n");
  auto* a = static_cast<TTestWidget*>(form->FindComponent("A"));
  auto* b = static_cast<TTestWidget*>(form->FindComponent("B"));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Partner(), b);
  EXPECT_EQ(b->Partner(), form->FindComponent("Form1W"));
  ASSERT_TRUE(a->OnQuery);
  bool allow = true;
  a->OnQuery(a, allow);
  EXPECT_FALSE(allow);
  EXPECT_EQ(a->EventName("OnQuery"), "formquery");
  // The reference is a live one: freeing its target clears it.
  delete b;
  EXPECT_EQ(a->Partner(), nullptr);
}

TEST_F(Streaming, HexadecimalNumbersAreValuesWithinSixtyFourBits) {
  auto form = Read(
      "object F: TTestForm\n"
      "  object A: TTestWidget\n    Big = $7FFFFFFFFFFFFFFF\n    Count = -$10\n  end\n"
      "  object B: TTestWidget\n    Big = -$8000000000000000\n    Count = $7FFFFFFF\n  end\n"
      "end\n");
  auto* a = static_cast<TTestWidget*>(form->FindComponent("A"));
  auto* b = static_cast<TTestWidget*>(form->FindComponent("B"));
  EXPECT_EQ(a->big, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(a->Count(), -16);
  EXPECT_EQ(b->big, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(b->Count(), 0x7FFFFFFF);
}

TEST_F(Streaming, ThousandsOfSiblingsAreFoundByName) {
  String text = "object F: TTestForm\n";
  const int count = 4000;
  for (int i = 0; i < count; ++i) {
    const String name = "W" + std::to_string(i);
    text += "  object " + name + ": TTestWidget\n";
    if (i > 0) text += "    Partner = w" + std::to_string(i - 1) + "\n";
    text += "  end\n";
  }
  text += "end\n";
  auto form = Read(text);
  ASSERT_EQ(form->ComponentCount(), count);
  for (int i : {0, 1, 1999, 3999}) {
    auto* w = static_cast<TTestWidget*>(form->FindComponent("w" + std::to_string(i)));
    ASSERT_NE(w, nullptr) << i;
    EXPECT_EQ(w->Name(), "W" + std::to_string(i));
    if (i > 0) {
      EXPECT_EQ(w->Partner(), form->Components(i - 1));
    }
  }
}

TEST_F(Streaming, LoadedRunsOnceInCreationOrderAfterLoading) {
  auto form = Read(
      "object Form1: TTestForm\n"
      "  object A: TTestWidget\n"
      "    Count = 1\n"
      "    Partner = B\n"
      "  end\n"
      "  object B: TTestWidget\n"
      "    Count = 2\n"
      "  end\n"
      "end\n");
  EXPECT_EQ(journal, (std::vector<String>{"A.Count loading=1", "B.Count loading=1", "Form1.Loaded",
                                          "A.Loaded partner=B", "B.Loaded partner=nil"}));
  for (int i = 0; i < form->ComponentCount(); ++i)
    EXPECT_FALSE(form->Components(i)->Has(TComponentStateFlag::csLoading));
  EXPECT_FALSE(form->Has(TComponentStateFlag::csLoading));
  static_cast<TTestWidget*>(form->FindComponent("A"))->SetCount(5);
  EXPECT_EQ(journal.back(), "A.Count loading=0");
}

TEST_F(Streaming, AFailingLoadedFreesWhatTheReadCreated) {
  failLoaded = true;
  EXPECT_THROW(Read("object Form1: TTestForm\n"
                    "  object A: TTestWidget\n  end\n"
                    "  object B: TTestWidget\n  end\n"
                    "end\n"),
               EComponentError);
  failLoaded = false;
  EXPECT_EQ(liveWidgets, 0);
}

TEST_F(Streaming, AnErrorOfAPropertyAppliedInLoadedNamesItsLine) {
  failLoaded = true;
  auto lineOf = [&](const String& text) {
    try {
      Read(text);
    } catch (const EReadError& e) {
      EXPECT_NE(String(e.what()).find("C cannot count"), String::npos) << e.what();
      return e.Line();
    }
    return 0;
  };
  EXPECT_EQ(lineOf("object Form1: TTestForm\n"
                   "  object C: TTestWidget\n"
                   "    Enabled = False\n"
                   "    Count = 4\n"
                   "  end\n"
                   "end\n"),
            4);
  // Not set in the text: the component's own line.
  EXPECT_EQ(lineOf("object Form1: TTestForm\n"
                   "  Title = 'T'\n"
                   "  object C: TTestWidget\n"
                   "  end\n"
                   "end\n"),
            3);
  failLoaded = false;
  EXPECT_EQ(liveWidgets, 0);
  // Outside a read it names nothing and changes nothing.
  EXPECT_THROW(
      {
        const TLoadingProperty applying("Count");
        throw EComponentError("alone");
      },
      EComponentError);
}

TEST_F(Streaming, ReadingIntoARootReusesWhatItOwnsAndSpreadsDesigning) {
  TTestForm form;
  form.SetDesigning(true);
  auto* existing = new TTestWidget(&form);
  existing->SetName("A");
  ReadComponentText(
      "object Form1: TTestForm\n"
      "  Title = 'T'\n"
      "  object A: TTestWidget\n    Count = 3\n  end\n"
      "  object B: TTestWidget\n  end\n"
      "end",
      &form, handlers);
  EXPECT_EQ(form.Name(), "Form1");
  EXPECT_EQ(form.title, "T");
  ASSERT_EQ(form.ComponentCount(), 2);
  EXPECT_EQ(form.Components(0), existing);
  EXPECT_EQ(existing->Count(), 3);
  EXPECT_TRUE(form.Components(1)->Has(TComponentStateFlag::csDesigning));
  EXPECT_THROW(ReadComponentText("object F: TTestWidget\nend\n", &form, handlers), EReadError);
}

TEST_F(Streaming, BadTextIsRejectedWithItsLineAndLeavesNothingBehind) {
  struct Case {
    const char* text;
    int line;
    const char* message;
  };
  const Case cases[] = {
      {"object F: TTestForm\n  object A: TNoSuchClass\n  end\nend\n", 2, "Class TNoSuchClass not found"},
      {"object F: TNoSuchForm\nend\n", 1, "Class TNoSuchForm not found"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Colour = 1\n  end\nend\n", 3,
       "Property Colour does not exist in TTestWidget"},
      {"object F: TTestForm\n  object A: TTestWidget\n\n    Part.Weight = 1\n  end\nend\n", 4,
       "Property Weight does not exist in TTestPart"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Mode = bmMedium\n  end\nend\n", 3,
       "Invalid value for property Mode"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Enabled = 1\n  end\nend\n", 3,
       "Invalid value for property Enabled"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Count = 'x'\n  end\nend\n", 3,
       "Invalid value for property Count"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Count = 3000000000\n  end\nend\n", 3,
       "out of range"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Small = 256\n  end\nend\n", 3,
       "out of range"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Parts = [bpIcon, bpWing]\n  end\nend\n", 3,
       "bpWing is not one of its members"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Parts = [bpIcon\n  end\nend\n", 3,
       "Invalid value for property Parts"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Caption = 'open\n  end\nend\n", 3,
       "Unterminated string"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Caption = 'open", 3, "Unterminated string"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Lines = ( 'a'\n", 3,
       "Unexpected end of file"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Count = 1\n  end\n", 4,
       "Unexpected end of file, 'end' expected"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Count =\n", 3,
       "Invalid value for property Count"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Partner = Z\n  end\nend\n", 3,
       "Component Z not found"},
      {"object F: TTestForm\n  object O: TTestOther\n  end\n  object A: TTestWidget\n"
       "    Partner = O\n  end\nend\n",
       5, "is not a valid value for Partner"},
      {"object F: TTestForm\n  object A: TTestWidget\n    OnChange = Missing\n  end\nend\n", 3,
       "Event handler Missing not found"},
      {"object F: TTestForm\n  object A: TTestWidget\n    OnChange = FormQuery\n  end\nend\n", 3,
       "does not fit event OnChange"},
      {"object F: TTestForm\n  object A: TTestWidget\n  end\n  object A: TTestOther\n  end\nend\n", 4,
       "Component A is a TTestWidget, not a TTestOther"},
      {"object F: TTestForm\nend\nend\n", 3, "Text after the end of the form"},
      {"object F: TTestForm\n  Title = 1\nend\n", 2, "Invalid value for property Title"},
      {"object F: TTestForm\n  Part.Size = 1\nend\n", 2, "Property Part does not exist"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Part = 1\n  end\nend\n", 3,
       "set through its own properties"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Caption = #99999999\n  end\nend\n", 3,
       "Invalid character code"},
      {"object F: TTestForm\n  ~\nend\n", 2, "Invalid character"},
      {"object F: TTestForm\n  object A: TTestWidget\n  end\n  object A: TTestWidget\n  end\nend\n", 4,
       "A component named A already exists"},
      {"object F: TTestForm\n  object A: TTestWidget\n    object a: TTestWidget\n    end\n  end\nend\n",
       3, "A component named a already exists"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Big = $FFFFFFFFFFFFFFFF\n  end\nend\n", 3,
       "Number out of range"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Big = $8000000000000000\n  end\nend\n", 3,
       "Number out of range"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Big = -$8000000000000001\n  end\nend\n",
       3, "Number out of range"},
      {"object F: TTestForm\n  object A: TTestWidget\n    Big = $10000000000000000\n  end\nend\n",
       3, "Invalid number"},
      {"", 1, "'object' expected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    journal.clear();
    try {
      Read(c.text);
      ADD_FAILURE() << "no error";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Line(), c.line) << e.Message();
      EXPECT_NE(e.Message().find(c.message), String::npos) << e.Message();
      EXPECT_EQ(e.Message().rfind("Line " + std::to_string(c.line) + ": ", 0), 0u) << e.Message();
    }
    EXPECT_EQ(liveWidgets, 0);
    for (const String& entry : journal) EXPECT_EQ(entry.find("Loaded"), String::npos) << entry;
  }

  // A null byte is no symbol and no part of a quoted string; the message stays whole.
  const std::string nulls[] = {std::string("object F: TTestForm\n  Title ") + '\0' + "= 'x'\nend\n",
                               std::string("object F: TTestForm\n  Title = 'a") + '\0' + "b'\nend\n"};
  for (const std::string& text : nulls) {
    try {
      Read(text);
      ADD_FAILURE() << "no error";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Line(), 2);
      EXPECT_NE(e.Message().find("Invalid character"), String::npos) << e.Message();
      EXPECT_EQ(e.Message().find('\0'), String::npos);
    }
  }

  // Reading into an existing root frees only what the read created, and clears its loading state.
  TTestForm form;
  auto* kept = new TTestWidget(&form);
  kept->SetName("Kept");
  EXPECT_THROW(ReadComponentText("object F: TTestForm\n  object Kept: TTestWidget\n  end\n"
                                 "  object New: TTestWidget\n    Mode = 5\n  end\nend\n",
                                 &form, handlers),
               EReadError);
  ASSERT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.Components(0), kept);
  EXPECT_FALSE(kept->Has(TComponentStateFlag::csLoading));
  EXPECT_FALSE(form.Has(TComponentStateFlag::csLoading));
}

TEST(Registry, ClassesArePaletteEntriesAndFoundByName) {
  RegisterComponents("Test Page", {ComponentClass<TTestWidget>(), ComponentClass<TTestOther>()});
  RegisterComponents("Test Page", {ComponentClass<TTestWidget>()});
  EXPECT_EQ(PaletteClasses("test page"), (std::vector<String>{"TTestWidget", "TTestOther"}));
  bool listed = false;
  for (const TPalettePage& page : Palette()) listed |= page.name == "Test Page";
  EXPECT_TRUE(listed);
  EXPECT_EQ(FindClass("ttestwidget").info, &TTestWidget::StaticClassInfo());
  std::unique_ptr<TComponent> made(FindClass("TTestOther").factory(nullptr));
  EXPECT_EQ(made->ClassName(), "TTestOther");
  EXPECT_THROW(FindClass("TNothing"), EClassNotFound);
  EXPECT_EQ(GetClass("TNothing"), nullptr);
  // Registering a class again is harmless; another class may not take its name.
  EXPECT_NO_THROW(RegisterComponentClass<TTestWidget>());
  static const TClassInfo impostor("TTestWidget", &TComponent::StaticClassInfo(), nullptr);
  EXPECT_THROW(RegisterComponentClass(TComponentClass{&impostor, nullptr}), EFilerError);
  EXPECT_EQ(FindClass("TTestWidget").info, &TTestWidget::StaticClassInfo());
  EXPECT_EQ(liveWidgets, 0);
}

TEST(TypeInfo, TablesExtendTheirParentsAndAnswerByName) {
  TTestWidget w;
  const TClassInfo* info = w.ClassInfo();
  EXPECT_EQ(info->Name(), "TTestWidget");
  EXPECT_TRUE(info->InheritsFrom(&TComponent::StaticClassInfo()));
  EXPECT_EQ(info->Properties().front()->name, "Tag");  // the parent's come first
  w.SetTag(7);
  EXPECT_EQ(GetOrdProp(&w, "tag"), 7);
  SetOrdProp(&w, "Mode", bmOff);
  EXPECT_EQ(w.mode, bmOff);
  EXPECT_EQ(GetStrProp(&w, "Version"), "TTestWidget V4.2");
  EXPECT_THROW(SetStrProp(&w, "Version", "x"), EPropertyError);
  EXPECT_THROW(GetOrdProp(&w, "Caption"), EPropertyError);
  EXPECT_THROW(GetOrdProp(&w, "Nothing"), EPropertyError);
  SetFloatProp(&w, "Ratio", 2.5);
  EXPECT_EQ(GetFloatProp(&w, "Ratio"), 2.5);
}

TEST_F(Streaming, FormFilesKeepTheirTextUnderAUnicodeName) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const String folder = ToUtf8(temp) + "form-" + std::to_string(GetCurrentProcessId()) + "-\xC3\xA9";
  ASSERT_TRUE(ForceDirectories(folder));
  const String file = folder + "\\Form1 \xE2\x82\xAC.txt";
  {
    TTestForm form;
    form.SetName("Form1");
    form.title = "\xE2\x82\xAC";
    WriteComponentFile(file, &form);
  }
  {
    std::unique_ptr<TComponent> copy(CreateComponentFromFile(file, nullptr, handlers));
    EXPECT_EQ(static_cast<TTestForm*>(copy.get())->title, "\xE2\x82\xAC");
  }
  EXPECT_TRUE(host::DeleteFile(file));
  EXPECT_TRUE(RemoveDir(folder));
  EXPECT_THROW(CreateComponentFromFile(file, nullptr, handlers), EFilerError);
}
