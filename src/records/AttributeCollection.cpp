#include "records/AttributeCollection.h"

#include <fmt/format.h>

#include <algorithm>

#include "util/ExceptionLog.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

constexpr const char* kNoReferee =
    "No TAttributeCollectionBase referee in the list. The application logic is broken. Please debug and fix it.";
constexpr const char* kRefereeMismatch =
    "TAttributeCollectionBase Referee doesn't match. The application logic is broken. Please debug and fix it.";

}  // namespace

// ---- TAttributeCollectionBase ------------------------------------------------------------------------------

TAttributeCollectionBase::TAttributeCollectionBase(std::string_view fldName)
    : base_Attribute(fldName, AttrType::atCollection) {
  SetNull(false);
}

TAttributeCollectionBase::~TAttributeCollectionBase() {
  try {
    Clear();
  } catch (const std::exception& e) {
    // Only an inconsistent holder list can make Clear fail; a destructor must not raise.
    WriteToLog(e.what());
  }
}

std::unique_ptr<base_Attribute> TAttributeCollectionBase::NewInstance(std::string_view name) const {
  return std::make_unique<TAttributeCollectionBase>(name);
}

base_Attribute& TAttributeCollectionBase::ByIndex(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(fmt::format("List index out of bounds ({}) in collection \"{}\"", index, FieldName()));
  return *attributeList[static_cast<size_t>(index)].item;
}

base_Attribute* TAttributeCollectionBase::Lookup(const std::string& key) const {
  for (const auto& e : attributeList)
    if (e.item->FieldName() == key) return e.item;
  return nullptr;
}

base_Attribute* TAttributeCollectionBase::ByName(std::string_view attrName, bool raiseEx, std::string_view msg) {
  base_Attribute* found = Lookup(AsciiLower(attrName));
  if (!found && raiseEx)
    throw Exception(std::string(MissingText()) + std::string(attrName) + ": " + std::string(msg));
  return found;
}

const base_Attribute* TAttributeCollectionBase::ByName(std::string_view attrName, bool raiseEx,
                                                       std::string_view msg) const {
  base_Attribute* found = Lookup(AsciiLower(attrName));
  if (!found && raiseEx)
    throw Exception(std::string(MissingText()) + std::string(attrName) + ": " + std::string(msg));
  return found;
}

base_Attribute* TAttributeCollectionBase::ByNameAt(std::string_view attrName, int& slot) {
  if (slot >= 0 && slot < Count())
    if (base_Attribute& at = ByIndex(slot); SameTextAscii(at.FieldName(), attrName)) return &at;
  base_Attribute* found = ByName(attrName);
  slot = found ? IndexOfItem(*found) : -1;
  return found;
}

int TAttributeCollectionBase::IndexOfName(std::string_view attrName) const {
  const base_Attribute* item = Lookup(AsciiLower(attrName));
  return item ? IndexOfItem(*item) : -1;
}

int TAttributeCollectionBase::IndexOfItem(const base_Attribute& item) const {
  for (size_t i = 0; i < attributeList.size(); ++i)
    if (attributeList[i].item == &item) return static_cast<int>(i);
  return -1;
}

base_Attribute* TAttributeCollectionBase::ByPath(std::string_view path) {
  base_Attribute* current = this;
  while (true) {
    const size_t sep = path.find('\\');
    current = current->GetByName(path.substr(0, sep));
    if (!current || sep == std::string_view::npos) return current;
    path.remove_prefix(sep + 1);
  }
}

std::string TAttributeCollectionBase::GetAttributeValue(std::string_view name) const {
  const base_Attribute* a = ByName(name);
  return a ? a->asString() : std::string();
}

int TAttributeCollectionBase::CountTotal() const {
  int total = Count();
  for (const auto& e : attributeList)
    if (auto* c = dynamic_cast<const TAttributeCollectionBase*>(e.item)) total += c->CountTotal();
  return total;
}

base_Attribute& TAttributeCollectionBase::AddOwned(std::unique_ptr<base_Attribute> newAttribute) {
  if (!newAttribute) throw EAssertionFailed("Assertion Failed: no attribute given to collection \"" + FieldName() + "\"");
  if (auto* record = dynamic_cast<TAttributeCollectionRef*>(newAttribute.get())) {
    std::unique_ptr<TAttributeCollectionRef> typed(record);
    newAttribute.release();
    return AddShared(std::shared_ptr<TAttributeCollectionRef>(std::move(typed)));
  }
  for (const base_Attribute* c = this; c; c = c->ParentCollection())
    if (c == newAttribute.get())
      throw EAssertionFailed("Assertion Failed: collection \"" + FieldName() + "\" cannot hold itself");
  base_Attribute& item = *newAttribute;
  attributeList.push_back({std::move(newAttribute), nullptr, &item});
  item.fOwnerCollection = this;
  IndexInsert(item);
  return item;
}

TAttributeCollectionRef& TAttributeCollectionBase::AddShared(std::shared_ptr<TAttributeCollectionRef> record) {
  if (!record) throw EAssertionFailed("Assertion Failed: no record given to collection \"" + FieldName() + "\"");
  for (const base_Attribute* c = this; c; c = c->ParentCollection())
    if (c == record.get())
      throw EAssertionFailed("Assertion Failed: collection \"" + FieldName() + "\" cannot hold itself");
  TAttributeCollectionRef& item = *record;
  attributeList.push_back({nullptr, std::move(record), &item});
  if (!item.fOwnerCollection)
    item.fOwnerCollection = this;
  else
    item.RefereeList.push_back(this);
  IndexInsert(item);
  return item;
}

base_Attribute& TAttributeCollectionBase::AddAttribute(base_Attribute& item) {
  if (auto* record = dynamic_cast<TAttributeCollectionRef*>(&item)) {
    auto shared = record->weak_from_this().lock();
    if (!shared)
      throw EAssertionFailed("Assertion Failed: record \"" + item.FieldName() +
                             "\" is held by no shared pointer and cannot be shared with \"" + FieldName() + "\"");
    return AddShared(std::move(shared));
  }
  TAttributeCollectionBase* owner = item.fOwnerCollection;
  if (!owner)
    throw EAssertionFailed("Assertion Failed: attribute \"" + item.FieldName() +
                           "\" has no owner; add it to \"" + FieldName() + "\" as a std::unique_ptr");
  for (const base_Attribute* c = this; c; c = c->ParentCollection())
    if (c == &item) throw EAssertionFailed("Assertion Failed: collection \"" + FieldName() + "\" cannot hold itself");
  return AddOwned(owner->Unlink(item));
}

std::unique_ptr<base_Attribute> TAttributeCollectionBase::Unlink(base_Attribute& item) {
  const int index = IndexOfItem(item);
  if (index < 0) return nullptr;
  auto& entry = attributeList[static_cast<size_t>(index)];
  if (entry.shared)
    throw EAssertionFailed("Assertion Failed: record \"" + item.FieldName() + "\" is shared; drop it from \"" +
                           FieldName() + "\" instead of unlinking it");
  IndexErase(item);
  std::unique_ptr<base_Attribute> owned = std::move(entry.owned);
  attributeList.erase(attributeList.begin() + index);
  owned->fOwnerCollection = nullptr;
  return owned;
}

void TAttributeCollectionBase::CheckHeld(const TAttributeCollectionRef& record) const {
  if (record.fOwnerCollection == this) return;
  if (std::find(record.RefereeList.begin(), record.RefereeList.end(), this) != record.RefereeList.end()) return;
  throw Exception(record.RefereeList.empty() ? kNoReferee : kRefereeMismatch);
}

void TAttributeCollectionBase::Release(detail::TAttributeEntry& entry) {
  if (!entry.shared) return;
  TAttributeCollectionRef& record = *entry.shared;
  CheckHeld(record);
  auto& holders = record.RefereeList;
  if (record.fOwnerCollection == this) {
    if (!holders.empty()) {
      record.fOwnerCollection = holders.front();
      holders.erase(holders.begin());
    } else {
      record.fOwnerCollection = nullptr;
    }
  } else {
    holders.erase(std::find(holders.begin(), holders.end(), this));
  }
}

void TAttributeCollectionBase::RemoveAt(int index) {
  auto& slot = attributeList[static_cast<size_t>(index)];
  Release(slot);
  IndexErase(*slot.item);
  detail::TAttributeEntry entry = std::move(slot);
  attributeList.erase(attributeList.begin() + index);
  if (entry.owned) entry.owned->fOwnerCollection = nullptr;
  // `entry` frees an owned attribute here; a shared record lives on while another holder keeps it.
}

void TAttributeCollectionBase::DropByName(std::string_view attrName) {
  if (base_Attribute* item = ByName(attrName)) RemoveAt(IndexOfItem(*item));
}

void TAttributeCollectionBase::DropByIndex(int index) {
  if (index < 0 || index >= Count())
    throw EListError(fmt::format("List index out of bounds ({}) in collection \"{}\"", index, FieldName()));
  RemoveAt(index);
}

void TAttributeCollectionBase::Clear() {
  for (const auto& e : attributeList)
    if (e.shared) CheckHeld(*e.shared);
  for (auto& e : attributeList) Release(e);
  IndexDiscard();
  std::vector<detail::TAttributeEntry> items = std::move(attributeList);
  attributeList.clear();
  for (auto& e : items)
    if (e.owned) e.owned->fOwnerCollection = nullptr;
  // `items` frees the owned attributes here.
}

void TAttributeCollectionBase::ClearFields(bool aAvoidCollection) {
  for (auto& e : attributeList) {
    if (aAvoidCollection && e.item->FieldType() == AttrType::atCollection) continue;
    e.item->Clear();
  }
}

void TAttributeCollectionBase::CopyDataFrom(const TAttributeCollectionBase& src) {
  for (const base_Attribute& a : src.Items())
    if (base_Attribute* target = ByName(a.FieldName()); target && target != &a) target->Assign(a);
}

template <class T, class Setter>
base_Attribute& TAttributeCollectionBase::Define(std::string_view attrName, TDefineAttributeMode mode,
                                                 const Setter& setValue) {
  if (base_Attribute* present = ByName(attrName)) {
    if (mode == TDefineAttributeMode::damAlwaysAssign) setValue(*present);
    return *present;
  }
  base_Attribute& added = AddOwned(std::make_unique<T>(attrName));
  setValue(added);
  return added;
}

base_Attribute& TAttributeCollectionBase::DefineFloat(std::string_view attrName, double value,
                                                      TDefineAttributeMode mode) {
  return Define<Atr_Float>(attrName, mode, [&](base_Attribute& a) { a.SetAsFloat(value); });
}

base_Attribute& TAttributeCollectionBase::DefineInteger(std::string_view attrName, int32_t value,
                                                        TDefineAttributeMode mode) {
  return Define<Atr_Integer>(attrName, mode, [&](base_Attribute& a) { a.SetAsInteger(value); });
}

base_Attribute& TAttributeCollectionBase::DefineString(std::string_view attrName, std::string_view value,
                                                       TDefineAttributeMode mode) {
  return Define<Atr_String>(attrName, mode, [&](base_Attribute& a) { a.SetAsString(value); });
}

base_Attribute& TAttributeCollectionBase::DefineBoolean(std::string_view attrName, bool value,
                                                        TDefineAttributeMode mode) {
  return Define<Atr_Boolean>(attrName, mode, [&](base_Attribute& a) { a.SetAsBoolean(value); });
}

base_Attribute& TAttributeCollectionBase::DefineDateTime(std::string_view attrName, double value,
                                                         TDefineAttributeMode mode) {
  return Define<Atr_dateTime>(attrName, mode, [&](base_Attribute& a) { a.SetAsDateTime(value); });
}

base_Attribute& TAttributeCollectionBase::DefineStream(std::string_view attrName, std::string_view bytes,
                                                       TDefineAttributeMode mode) {
  // A stream takes the bytes; a present attribute of another kind takes them as text.
  return Define<Atr_Stream>(attrName, mode, [&](base_Attribute& a) {
    if (a.FieldType() == AttrType::atStream)
      a.SetAsStream(bytes);
    else
      a.SetAsString(bytes);
  });
}

void TAttributeCollectionBase::ReindexName(base_Attribute&) {}

int TAttributeCollectionBase::Compare(const base_Attribute*) const {
  throw Exception("compare not implemented for collections");
}

void TAttributeCollectionBase::Assign(const base_Attribute& src) {
  if (&src == this) return;
  const auto* source = dynamic_cast<const TAttributeCollectionBase*>(&src);
  if (!source) return;
  // Clone first: src may sit inside this collection.
  std::vector<std::unique_ptr<base_Attribute>> clones;
  for (const base_Attribute& a : source->Items()) clones.push_back(a.Clone());
  Clear();
  for (auto& c : clones) AddOwned(std::move(c));
}

// ---- TAttributecollectionFast ------------------------------------------------------------------------------

TAttributecollectionFast::TAttributecollectionFast(std::string_view fldName) : TAttributeCollectionBase(fldName) {}

std::unique_ptr<base_Attribute> TAttributecollectionFast::NewInstance(std::string_view name) const {
  return std::make_unique<TAttributecollectionFast>(name);
}

namespace {
template <class Entry>
bool IndexLess(const Entry& a, const Entry& b) {
  const int c = a.name.compare(b.name);
  return c < 0 || (c == 0 && a.order < b.order);
}
}  // namespace

void TAttributecollectionFast::BuildIndex() const {
  std::vector<TIndexEntry> index;
  index.reserve(static_cast<size_t>(Count()));
  int order = 0;
  for (base_Attribute& a : Items()) index.push_back({a.FieldName(), &a, order++});
  std::sort(index.begin(), index.end(), IndexLess<TIndexEntry>);
  fNextOrder = order;
  fHashList = std::move(index);
}

void TAttributecollectionFast::IndexInsert(base_Attribute& item) {
  if (!fHashList) return;
  TIndexEntry entry{item.FieldName(), &item, fNextOrder++};
  auto& index = *fHashList;
  index.insert(std::upper_bound(index.begin(), index.end(), entry, IndexLess<TIndexEntry>), std::move(entry));
}

void TAttributecollectionFast::IndexErase(base_Attribute& item) {
  if (!fHashList) return;
  auto& index = *fHashList;
  auto it = std::find_if(index.begin(), index.end(), [&](const TIndexEntry& e) { return e.item == &item; });
  if (it != index.end()) index.erase(it);
}

void TAttributecollectionFast::ReindexName(base_Attribute& item) {
  if (!fHashList) return;
  auto& index = *fHashList;
  for (auto it = index.begin(); it != index.end(); ++it) {
    if (it->item != &item) continue;
    if (it->name == item.FieldName()) continue;
    TIndexEntry entry{item.FieldName(), &item, it->order};
    index.erase(it);
    index.insert(std::upper_bound(index.begin(), index.end(), entry, IndexLess<TIndexEntry>), std::move(entry));
    return;
  }
}

base_Attribute* TAttributecollectionFast::Lookup(const std::string& key) const {
  // A record of a few fields (a PLOTFILE line) is searched in list order, which finds the same attribute as the
  // index and saves building one per record.
  constexpr int kIndexFrom = 24;
  if (!fHashList && Count() < kIndexFrom) return TAttributeCollectionBase::Lookup(key);
  if (!fHashList) BuildIndex();
  const TIndexEntry probe{key, nullptr, -1};
  const auto& index = *fHashList;
  auto it = std::lower_bound(index.begin(), index.end(), probe, IndexLess<TIndexEntry>);
  return it != index.end() && it->name == key ? it->item : nullptr;
}

// ---- TAttributeCollectionRef -------------------------------------------------------------------------------

TAttributeCollectionRef::TAttributeCollectionRef(std::string_view fldName) : TAttributecollectionFast(fldName) {}

std::unique_ptr<base_Attribute> TAttributeCollectionRef::NewInstance(std::string_view name) const {
  return std::make_unique<TAttributeCollectionRef>(name);
}

int TAttributeCollectionRef::RefereeCount() const {
  return ParentCollection() ? 1 + static_cast<int>(RefereeList.size()) : 0;
}

TAttributeCollectionBase* TAttributeCollectionRef::GetRefereeByIndex(int index) const {
  if (index == 0) return ParentCollection();
  if (index >= 1 && index <= static_cast<int>(RefereeList.size())) return RefereeList[static_cast<size_t>(index - 1)];
  return nullptr;
}

void TAttributeCollectionRef::NameChanged() {
  base_Attribute::NameChanged();
  for (TAttributeCollectionBase* holder : RefereeList) holder->ReindexName(*this);
}

// ---- TFactory_AttributeField -------------------------------------------------------------------------------

std::unique_ptr<base_Attribute> TFactory_AttributeField::MakeField(std::string_view AName, AttrType AFieldType) {
  return traced("TFactory_AttributeField.MakeField", [&]() -> std::unique_ptr<base_Attribute> {
    switch (AFieldType) {
      case AttrType::atFloat: return std::make_unique<Atr_Float>(AName);
      case AttrType::atString: return std::make_unique<Atr_String>(AName);
      case AttrType::atInteger: return std::make_unique<Atr_Integer>(AName);
      case AttrType::atBoolean: return std::make_unique<Atr_Boolean>(AName);
      case AttrType::atDate: return std::make_unique<Atr_dateTime>(AName);
      case AttrType::atCollection: return std::make_unique<TAttributeCollectionRef>(AName);
      case AttrType::atStream: return std::make_unique<Atr_Stream>(AName);
      default: return nullptr;
    }
  });
}

void TFactory_AttributeField::DefineCollection(TAttributeCollectionBase* ACollection,
                                               const TFieldDefinitions& definitions) {
  traced("TFactory_AttributeField.DefineCollection", [&] {
    if (!ACollection) throw Exception("Collection is not assigned");
    ACollection->Clear();
    for (size_t i = 0; i < definitions.size(); ++i) {
      auto field = MakeField(definitions[i].fieldName, definitions[i].fieldType);
      if (!field)
        throw Exception(fmt::format("Cannot make field {} \"{}\" for collection \"{}\"", i, definitions[i].fieldName,
                                    ACollection->FieldName()));
      ACollection->AddAttribute(std::move(field));
    }
  });
}

void TFactory_AttributeField::DefineHomogeneousCollection(TAttributeCollectionBase* ACollection, AttrType kind,
                                                          int Count) {
  traced("TFactory_AttributeField.DefineHomogeneousCollection", [&] {
    if (!ACollection) throw Exception("Collection is not assigned");
    ACollection->Clear();
    for (int i = 1; i <= Count; ++i) {
      const std::string name = std::to_string(i);
      auto field = MakeField(name, kind);
      if (!field)
        throw Exception(fmt::format("Cannot make field {} \"{}\" for collection \"{}\"", i - 1, name,
                                    ACollection->FieldName()));
      ACollection->AddAttribute(std::move(field));
    }
  });
}

TFactory_AttributeField& AttributeFactory() {
  static TFactory_AttributeField instance;
  return instance;
}

}  // namespace zorvik
