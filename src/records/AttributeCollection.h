#pragma once
// Records: ordered collections of named attributes, and the factory that builds them from field definitions.
//
// Ownership. A plain attribute has exactly one owner: the collection that holds its std::unique_ptr. Adding
// an attribute that another collection owns moves it (AddAttribute(base_Attribute&)). A TAttributeCollectionRef
// (the record type used everywhere) may be held by several collections: the first is its owner, the others
// are further holders (RefereeList), and each holds a std::shared_ptr to it. Dropping it from its owner
// passes ownership to the first further holder, so the record lives while any collection holds it.
//
//   TAttributeCollectionRef rec("receptor");
//   rec.DefineFloat("xloc", 500000.0);
//   rec.ByName("XLOC")->asFloat();                 // names ignore ASCII case
//   auto copy = CloneAs(rec);                       // a consumer that keeps a record keeps a clone
#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/Attributes.h"

namespace zorvik {

class TAttributeCollectionRef;

// A list index out of range ("List index out of bounds (5)").
ZORVIK_DECLARE_EXCEPTION(EListError, Exception);

enum class TDefineAttributeMode : uint8_t { damAlwaysAssign, damAssignIfNotExist };

namespace detail {
// One item of a collection: owned through `owned`, or held through `shared` (a shareable record).
struct TAttributeEntry {
  std::unique_ptr<base_Attribute> owned;
  std::shared_ptr<TAttributeCollectionRef> shared;
  base_Attribute* item = nullptr;
};
}  // namespace detail

// A plain collection: lookups compare names in list order. Reads as a value: "" / 1e30 / 2147483647 / false;
// value writes have no effect; never null.
class TAttributeCollectionBase : public base_Attribute {
 public:
  explicit TAttributeCollectionBase(std::string_view fldName = {});
  ~TAttributeCollectionBase() override;

  int Count() const { return static_cast<int>(attributeList.size()); }
  int ChildCount() const override { return Count(); }
  // The i-th attribute; EListError out of range.
  base_Attribute& ByIndex(int index) const;
  // The attributes in order, for range-for: `for (base_Attribute& a : rec.Items())`.
  class TItems {
   public:
    class iterator {
     public:
      explicit iterator(const detail::TAttributeEntry* entry) : fEntry(entry) {}
      base_Attribute& operator*() const { return *fEntry->item; }
      iterator& operator++() {
        ++fEntry;
        return *this;
      }
      bool operator==(const iterator&) const = default;

     private:
      const detail::TAttributeEntry* fEntry;
    };
    explicit TItems(const std::vector<detail::TAttributeEntry>& list) : fList(list) {}
    iterator begin() const { return iterator(fList.data()); }
    iterator end() const { return iterator(fList.data() + fList.size()); }

   private:
    const std::vector<detail::TAttributeEntry>& fList;
  };
  TItems Items() const { return TItems(attributeList); }

  // The attribute of that name (ASCII case ignored), or none; with raiseEx a missing name raises
  // "Missing SD attribute - <name>: <msg>" ("Missing attribute - " for indexed collections).
  base_Attribute* ByName(std::string_view attrName, bool raiseEx = false, std::string_view msg = {});
  const base_Attribute* ByName(std::string_view attrName, bool raiseEx = false, std::string_view msg = {}) const;
  base_Attribute* GetByName(std::string_view name) override { return ByName(name, false, {}); }
  // Position in the list, -1 when absent.
  int IndexOfName(std::string_view attrName) const;
  // ByName for callers that look the same name up record after record in records of one layout: the attribute
  // at position `slot` serves while it has the name, else the name is looked up and `slot` set to its position
  // (-1 when absent).
  base_Attribute* ByNameAt(std::string_view attrName, int& slot);
  // Names separated by '\' descend through nested collections; none when a value attribute comes first.
  base_Attribute* ByPath(std::string_view path);
  // asString of the named attribute, "" when absent.
  std::string GetAttributeValue(std::string_view name) const;
  // Count plus the CountTotal of nested collections.
  int CountTotal() const;

  // Appends a new attribute and owns it. A shareable record given this way is held by a shared pointer.
  template <class T>
    requires std::derived_from<T, base_Attribute>
  T& AddAttribute(std::unique_ptr<T> newAttribute) {
    return static_cast<T&>(AddOwned(std::unique_ptr<base_Attribute>(std::move(newAttribute))));
  }
  // Appends a shareable record: this collection owns it when it has no owner, else becomes a further holder.
  template <class T>
    requires std::derived_from<T, TAttributeCollectionRef>
  T& AddAttribute(std::shared_ptr<T> record) {
    return static_cast<T&>(AddShared(std::shared_ptr<TAttributeCollectionRef>(std::move(record))));
  }
  // Appends an attribute that already exists: a plain attribute is moved here from its owner (which must
  // exist); a shareable record is shared (it must be owned by a collection or held by a std::shared_ptr).
  base_Attribute& AddAttribute(base_Attribute& item);
  // Takes a plain attribute out of this collection without freeing it; its owner is cleared.
  std::unique_ptr<base_Attribute> Unlink(base_Attribute& item);

  // Remove from the list and free when owned (shareable records: ownership passes to a further holder).
  void DropByName(std::string_view attrName);
  void DropByIndex(int index);
  // Frees owned items and empties the list.
  void Clear() override;
  // Clear on every item, skipping nested collections when aAvoidCollection.
  void ClearFields(bool aAvoidCollection = false);
  // For each attribute of src, Assign it to the attribute of the same name here, if any.
  void CopyDataFrom(const TAttributeCollectionBase& src);

  // Find by name; when absent create one of the kind, add it and set the value; when present set the value
  // with damAlwaysAssign (through the present attribute's own kind) and leave it with damAssignIfNotExist.
  base_Attribute& DefineFloat(std::string_view attrName, double value,
                              TDefineAttributeMode mode = TDefineAttributeMode::damAlwaysAssign);
  base_Attribute& DefineInteger(std::string_view attrName, int32_t value,
                                TDefineAttributeMode mode = TDefineAttributeMode::damAlwaysAssign);
  base_Attribute& DefineString(std::string_view attrName, std::string_view value,
                               TDefineAttributeMode mode = TDefineAttributeMode::damAlwaysAssign);
  base_Attribute& DefineBoolean(std::string_view attrName, bool value,
                                TDefineAttributeMode mode = TDefineAttributeMode::damAlwaysAssign);
  base_Attribute& DefineDateTime(std::string_view attrName, double value,
                                 TDefineAttributeMode mode = TDefineAttributeMode::damAlwaysAssign);
  base_Attribute& DefineStream(std::string_view attrName, std::string_view bytes,
                               TDefineAttributeMode mode = TDefineAttributeMode::damAlwaysAssign);

  // Re-keys item in the name index when its name changed (indexed collections).
  virtual void ReindexName(base_Attribute& item);

  // Value side of a collection.
  bool IsNull() const override { return false; }
  double asDateTime() const override { return 1e30; }
  void SetAsDateTime(double) override {}
  std::string asString() const override { return {}; }
  void SetAsString(std::string_view) override {}
  double asFloat() const override { return 1e30; }
  void SetAsFloat(double) override {}
  int32_t asInteger() const override { return 2147483647; }
  void SetAsInteger(int32_t) override {}
  bool asBoolean() const override { return false; }
  void SetAsBoolean(bool) override {}
  TVariant Value() const override { return std::monostate{}; }
  // Raises "compare not implemented for collections".
  int Compare(const base_Attribute* other) const override;
  // A deep copy of another collection (clones of its attributes in order); nothing for value attributes.
  void Assign(const base_Attribute& src) override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
  base_Attribute& AddOwned(std::unique_ptr<base_Attribute> newAttribute);
  TAttributeCollectionRef& AddShared(std::shared_ptr<TAttributeCollectionRef> record);
  // Name index hooks (the plain collection has no index).
  virtual void IndexInsert(base_Attribute& /*item*/) {}
  virtual void IndexErase(base_Attribute& /*item*/) {}
  virtual void IndexDiscard() {}
  int IndexOfItem(const base_Attribute& item) const;
  // The first attribute named `key` (already lowered) in list order, or none.
  virtual base_Attribute* Lookup(const std::string& key) const;
  virtual std::string_view MissingText() const { return "Missing SD attribute - "; }

 private:
  template <class T, class Setter>
  base_Attribute& Define(std::string_view attrName, TDefineAttributeMode mode, const Setter& setValue);
  // Applies the ownership rules for the entry being removed; throws before changing anything when this
  // collection neither owns nor holds a shareable record.
  void Release(detail::TAttributeEntry& entry);
  void CheckHeld(const TAttributeCollectionRef& record) const;
  void RemoveAt(int index);

  std::vector<detail::TAttributeEntry> attributeList;
};

// A collection with a name index (sorted, ASCII case ignored, duplicates allowed), built on first lookup.
// Of several attributes with one name, lookups give the first in list order.
class TAttributecollectionFast : public TAttributeCollectionBase {
 public:
  explicit TAttributecollectionFast(std::string_view fldName = {});

  void ReindexName(base_Attribute& item) override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
  void IndexInsert(base_Attribute& item) override;
  void IndexErase(base_Attribute& item) override;
  void IndexDiscard() override { fHashList.reset(); }
  base_Attribute* Lookup(const std::string& key) const override;
  std::string_view MissingText() const override { return "Missing attribute - "; }

 private:
  struct TIndexEntry {
    std::string name;
    base_Attribute* item;
    int order;  // insertion stamp: keeps duplicates in list order
  };
  void BuildIndex() const;
  // Built by the first lookup, also of a const collection.
  mutable std::optional<std::vector<TIndexEntry>> fHashList;
  mutable int fNextOrder = 0;
};

// The record type used everywhere: an indexed collection that several collections may hold.
class TAttributeCollectionRef : public TAttributecollectionFast,
                                public std::enable_shared_from_this<TAttributeCollectionRef> {
 public:
  explicit TAttributeCollectionRef(std::string_view fldName = {});

  // 0 without owner, else 1 plus the number of further holders.
  int RefereeCount() const;
  // The owner for 0, the i-th further holder for i >= 1; none out of range.
  TAttributeCollectionBase* GetRefereeByIndex(int index) const;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
  void NameChanged() override;

 private:
  friend class TAttributeCollectionBase;
  std::vector<TAttributeCollectionBase*> RefereeList;  // further holders, in the order they were added
};

// Builds attributes by kind and defines records from field definitions; one process-wide instance.
class TFactory_AttributeField {
 public:
  // An attribute of the kind (atCollection gives a TAttributeCollectionRef); none for atPoints, atRWEntity
  // and values outside the enumeration.
  std::unique_ptr<base_Attribute> MakeField(std::string_view AName, AttrType AFieldType);
  // Clears the collection and adds one attribute per definition, in order.
  void DefineCollection(TAttributeCollectionBase* ACollection, const TFieldDefinitions& definitions);
  // Clears the collection and adds Count attributes of one kind named "1" .. "Count".
  void DefineHomogeneousCollection(TAttributeCollectionBase* ACollection, AttrType kind, int Count);
};

TFactory_AttributeField& AttributeFactory();

}  // namespace zorvik
