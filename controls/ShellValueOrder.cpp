// Value keys of a folder's detail column, and the probe of whether the folder compares by it.
#include "controls/ShellValueOrder.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "host/core/HResult.h"

namespace zelnor {

namespace {

// Kinds of value, in the order they sort: a child without a value comes first.
constexpr char kNothing = '\x00';
constexpr char kWhole = '\x02';
constexpr char kReal = '\x03';
constexpr char kText = '\x04';

// The storage property set and its members that find data holds.
constexpr GUID kStorageProperties = {
    0xb725f130, 0x47ef, 0x101a, {0xa5, 0xf1, 0x02, 0x60, 0x8c, 0x9e, 0xeb, 0xac}};
constexpr DWORD kSizeProperty = 12;
constexpr DWORD kWriteTimeProperty = 14;
constexpr DWORD kCreationTimeProperty = 15;
constexpr DWORD kAccessTimeProperty = 16;

// Pairs the probe asks the folder about before it gives up.
constexpr int kProbeLimit = 8;

void AppendBigEndian(std::string& key, uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) key.push_back(char((value >> shift) & 0xFF));
}

std::string WholeKey(int64_t value) {
  std::string key(1, kWhole);
  AppendBigEndian(key, uint64_t(value) ^ (uint64_t(1) << 63));
  return key;
}

std::string RealKey(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  // Negative numbers turn round entirely, positive ones only lose their sign bit's weight.
  bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
  std::string key(1, kReal);
  AppendBigEndian(key, bits);
  return key;
}

int64_t FileTimeValue(const FILETIME& time) {
  return int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// A variant's key: numbers as numbers, dates as reals, texts by the name rules.
std::string VariantKey(VARIANT& value, const TShellNameOrder& order) {
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return std::string(1, kNothing);
    case VT_I1: return WholeKey(value.cVal);
    case VT_I2: return WholeKey(value.iVal);
    case VT_I4: return WholeKey(value.lVal);
    case VT_INT: return WholeKey(value.intVal);
    case VT_I8: return WholeKey(value.llVal);
    case VT_UI1: return WholeKey(value.bVal);
    case VT_UI2: return WholeKey(value.uiVal);
    case VT_UI4: return WholeKey(value.ulVal);
    case VT_UINT: return WholeKey(value.uintVal);
    case VT_UI8:
      return WholeKey(value.ullVal > uint64_t(std::numeric_limits<int64_t>::max())
                          ? std::numeric_limits<int64_t>::max()
                          : int64_t(value.ullVal));
    case VT_BOOL: return WholeKey(value.boolVal ? 1 : 0);
    case VT_R4: return RealKey(value.fltVal);
    case VT_R8: return RealKey(value.dblVal);
    case VT_DATE: return RealKey(value.date);
    default:
      break;
  }
  if (value.vt != VT_BSTR && FAILED(VariantChangeType(&value, &value, 0, VT_BSTR)))
    return std::string(1, kNothing);
  if (!value.bstrVal || SysStringLen(value.bstrVal) == 0) return std::string(1, kNothing);
  std::string key(1, kText);
  AppendTextSortKey(key, std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal)), order);
  return key;
}

}  // namespace

TFindDataValue FindDataValueOfColumn(IShellFolder* folder, int column) {
  host::ComPtr<IShellFolder2> details;
  SHCOLUMNID id{};
  if (!folder || FAILED(folder->QueryInterface(IID_PPV_ARGS(&details))) ||
      FAILED(details->MapColumnToSCID(UINT(column), &id)) ||
      !IsEqualGUID(id.fmtid, kStorageProperties))
    return fdNone;
  switch (id.pid) {
    case kSizeProperty: return fdSize;
    case kWriteTimeProperty: return fdWriteTime;
    case kCreationTimeProperty: return fdCreationTime;
    case kAccessTimeProperty: return fdAccessTime;
    default: return fdNone;
  }
}

std::string FindDataValueKey(const WIN32_FIND_DATAW& data, TFindDataValue value) {
  switch (value) {
    case fdSize:
      // Folders show no size.
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::string(1, kNothing);
      return WholeKey(int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow));
    case fdWriteTime: return WholeKey(FileTimeValue(data.ftLastWriteTime));
    case fdCreationTime: return WholeKey(FileTimeValue(data.ftCreationTime));
    case fdAccessTime: return WholeKey(FileTimeValue(data.ftLastAccessTime));
    default: return std::string(1, kNothing);
  }
}

TShellColumnValues::TShellColumnValues(IShellFolder* folder, int column,
                                       const TShellNameOrder& order)
    : folder_(folder), column_(column), order_(order) {
  if (!folder_ || FAILED(folder_.As(&details_))) return;
  hasId_ = SUCCEEDED(details_->MapColumnToSCID(UINT(column), &id_));
  if (hasId_) source_ = FindDataValueOfColumn(folder, column);
}

std::string TShellColumnValues::Key(PCUITEMID_CHILD child) {
  std::string key;
  if (!child) return std::string(1, kNothing);
  if (source_ != fdNone && FindDataKey(child, key)) return key;
  if (DetailsExKey(child, key) || TextKey(child, key)) return key;
  return std::string(1, kNothing);
}

bool TShellColumnValues::FindDataKey(PCUITEMID_CHILD child, std::string& key) const {
  WIN32_FIND_DATAW data{};
  if (FAILED(SHGetDataFromIDListW(folder_.Get(), child, SHGDFIL_FINDDATA, &data, sizeof data)))
    return false;
  key = FindDataValueKey(data, source_);
  return true;
}

bool TShellColumnValues::DetailsExKey(PCUITEMID_CHILD child, std::string& key) {
  if (!details_ || !hasId_ || !detailsEx_) return false;
  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = details_->GetDetailsEx(child, &id_, &value);
  auto clear = host::ScopeExit([&value] { VariantClear(&value); });
  if (hr == E_NOTIMPL) detailsEx_ = false;  // no child will have one
  if (FAILED(hr)) return false;
  key = VariantKey(value, order_);
  return true;
}

bool TShellColumnValues::TextKey(PCUITEMID_CHILD child, std::string& key) const {
  if (!details_) return false;
  SHELLDETAILS details{};
  if (FAILED(details_->GetDetailsOf(child, UINT(column_), &details))) return false;
  wchar_t text[MAX_PATH] = {};
  if (FAILED(StrRetToBufW(&details.str, child, text, MAX_PATH))) return false;
  if (!text[0]) {
    key.assign(1, kNothing);
    return true;
  }
  key.assign(1, kText);
  AppendTextSortKey(key, text, order_);
  return true;
}

std::string ValueSortKey(const TValueSortItem& item) {
  std::string key(1, item.folder ? '\x01' : '\x02');
  key.reserve(1 + item.value.size() + item.name.size());
  key += item.value;
  key += item.name;
  return key;
}

TColumnVerdict ProbeColumnOrder(IShellFolder* folder, int column,
                                const std::vector<TValueSortItem>& items) {
  if (!folder) return TColumnVerdict::unknown;
  std::vector<const TValueSortItem*> sorted;
  sorted.reserve(items.size());
  for (const TValueSortItem& item : items)
    if (item.child) sorted.push_back(&item);
  std::sort(sorted.begin(), sorted.end(), [](const TValueSortItem* a, const TValueSortItem* b) {
    if (a->folder != b->folder) return a->folder;
    if (const int c = a->value.compare(b->value); c != 0) return c < 0;
    return a->name < b->name;
  });
  // In value order, names out of order show up between neighbours of different values.
  int asked = 0;
  for (size_t i = 1; i < sorted.size() && asked < kProbeLimit; ++i) {
    const TValueSortItem& a = *sorted[i - 1];
    const TValueSortItem& b = *sorted[i];
    if (a.folder != b.folder || a.value == b.value || a.name <= b.name) continue;
    ++asked;
    const HRESULT byName = folder->CompareIDs(0, a.child, b.child);
    if (FAILED(byName) || short(HRESULT_CODE(byName)) <= 0) continue;  // the keys misjudged names
    const HRESULT byColumn = folder->CompareIDs(LPARAM(column), a.child, b.child);
    if (FAILED(byColumn)) continue;
    const short answer = short(HRESULT_CODE(byColumn));
    if (answer > 0) return TColumnVerdict::ignored;
    if (answer < 0) return TColumnVerdict::honoured;
  }
  return TColumnVerdict::unknown;
}

}  // namespace zelnor
