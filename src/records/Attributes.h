#pragma once
// Attributes: named, typed values, the fields of every record that a file format reads or writes.
//
// A value attribute (Atr_Float, Atr_String, Atr_Integer, Atr_Boolean, Atr_dateTime, Atr_Stream) is null from
// creation until a write; every kind converts to and from every other through the as... accessors. Names are
// stored with A-Z turned into a-z, so lookups ignore ASCII case. Collections of attributes (the records) are
// in records/AttributeCollection.h.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "records/Conversions.h"
#include "util/Exceptions.h"

namespace zorvik {

// The kinds of attributes; the ordinals are fixed (field definitions carry them).
enum class AttrType : uint8_t {
  atFloat = 0,
  atString = 1,
  atInteger = 2,
  atBoolean = 3,
  atPoints = 4,    // point lists of the geometry units; never created here
  atRWEntity = 5,  // geometry entities; never created here
  atDate = 6,
  atCollection = 7,
  atStream = 8,
};

// A date-time inside a variant (days since 1899-12-30 plus the fraction of the day).
struct TVarDateTime {
  double value = 0.0;
  bool operator==(const TVarDateTime&) const = default;
};
// The value of an attribute as a variant: empty for streams and collections.
using TVariant = std::variant<std::monostate, double, int32_t, std::string, bool, TVarDateTime>;
// The variant's text: numbers as FloatToText / decimal, Booleans "True"/"False", dates as DateTimeToText.
std::string VarToStr(const TVariant& value);

class base_Attribute;
class TAttributeCollectionBase;

// Called when a write changes an attribute: (the attribute, the new value); the result is not consulted.
using TOnAttrChange = std::function<bool(base_Attribute& sender, const TVariant& newValue)>;

// One field of a record as a reader declares it.
struct TFieldDefinition {
  std::string fieldName;
  AttrType fieldType = AttrType::atString;
};
using TFieldDefinitions = std::vector<TFieldDefinition>;

class base_Attribute {
 public:
  virtual ~base_Attribute() = default;
  base_Attribute(const base_Attribute&) = delete;
  base_Attribute& operator=(const base_Attribute&) = delete;

  // The name, stored with A-Z lowered; renaming re-keys the attribute in an indexed owner.
  const std::string& FieldName() const { return fFieldName; }
  void SetFieldName(std::string_view name);
  // The owning collection, or none.
  TAttributeCollectionBase* ParentCollection() const { return fOwnerCollection; }
  AttrType FieldType() const { return fldType; }
  const TOnAttrChange& OnChange() const { return fOnChange; }
  void SetOnChange(TOnAttrChange onChange) { fOnChange = std::move(onChange); }

  virtual bool Changed() const { return FChanged; }
  virtual void SetChanged(bool changed) { FChanged = changed; }
  virtual bool IsNull() const { return FNull; }

  // Conversions between the kinds (see each class for its rules). Reads never change the attribute.
  virtual double asDateTime() const = 0;
  virtual void SetAsDateTime(double value) = 0;
  virtual std::string asString() const = 0;
  virtual void SetAsString(std::string_view value) = 0;
  virtual double asFloat() const = 0;
  virtual void SetAsFloat(double value) = 0;
  // The bytes of a stream attribute; other kinds read empty and ignore writes.
  virtual std::string asStream() const { return {}; }
  virtual void SetAsStream(std::string_view /*bytes*/) {}
  virtual int32_t asInteger() const = 0;
  virtual void SetAsInteger(int32_t value) = 0;
  virtual bool asBoolean() const = 0;
  virtual void SetAsBoolean(bool value) = 0;

  // The variant text of newValue differs from that of Value().
  virtual bool ValueDiffers(const TVariant& newValue) const;
  // The gate of every value write: sets Changed from ValueDiffers while unchanged, notifies OnChange when
  // changed, and answers Changed (the value is stored only on true).
  virtual bool AcceptChange(const TVariant& newValue);
  // The named child of a collection; none for value attributes.
  virtual base_Attribute* GetByName(std::string_view name);
  virtual TVariant Value() const = 0;
  // 1, 0 or -1 (see each class); `other` may be null.
  virtual int Compare(const base_Attribute* other) const = 0;
  // AssignValue, then Changed (collections: a deep copy of another collection).
  virtual void Assign(const base_Attribute& src);
  // Transfers the value through the accessor of the source's kind, then takes the source's IsNull.
  void AssignValue(const base_Attribute& src);
  // Value attributes: back to null and the initial value (Changed is set when it was not null).
  virtual void Clear() = 0;
  virtual int ChildCount() const { return 0; }
  // A new attribute of the same class with the same name and an Assign of this one; it has no owner.
  std::unique_ptr<base_Attribute> Clone() const;

 protected:
  base_Attribute(std::string_view fldName, AttrType type);
  // A new, empty attribute of this class.
  virtual std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const = 0;
  // Renaming happened: re-key in the collections that hold this attribute.
  virtual void NameChanged();
  void SetNull(bool isNull) { FNull = isNull; }
  // Clear's bookkeeping for value attributes: Changed when it was not null, then null.
  void ClearState();

 private:
  friend class TAttributeCollectionBase;
  std::string fFieldName;
  TAttributeCollectionBase* fOwnerCollection = nullptr;
  AttrType fldType;
  TOnAttrChange fOnChange;
  bool FChanged = false;
  bool FNull = true;
};

// Clone with the static type kept: `auto copy = CloneAs(record);`.
template <class T>
std::unique_ptr<T> CloneAs(const T& src) {
  auto clone = src.Clone();
  return std::unique_ptr<T>(static_cast<T*>(clone.release()));
}

// A 64-bit float. asString: general format (FloatToText), '.' always; asInteger rounds (ties to even).
// Writes: an empty text makes it null; a text that is no number raises EConvertError; NaN clears it.
class Atr_Float : public base_Attribute {
 public:
  explicit Atr_Float(std::string_view fldName = {});
  double floatVal = 0.0;

  double asDateTime() const override { return floatVal; }
  void SetAsDateTime(double value) override { SetAsFloat(value); }
  std::string asString() const override;
  void SetAsString(std::string_view value) override;
  double asFloat() const override { return floatVal; }
  void SetAsFloat(double value) override;
  int32_t asInteger() const override;
  void SetAsInteger(int32_t value) override;
  bool asBoolean() const override { return floatVal != 0.0; }
  void SetAsBoolean(bool value) override;
  TVariant Value() const override { return floatVal; }
  int Compare(const base_Attribute* other) const override;
  void Clear() override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;

 private:
  void Store(double value);
};

// A text. asBoolean is true only for exactly "T"; asInteger reads the leading integer; asFloat reads the text
// as a number (NaN when it is none). Float writes store fixed notation with two decimals.
class Atr_String : public base_Attribute {
 public:
  explicit Atr_String(std::string_view fldName = {});
  std::string StringVal;

  double asDateTime() const override;
  void SetAsDateTime(double value) override;
  std::string asString() const override { return StringVal; }
  void SetAsString(std::string_view value) override;
  double asFloat() const override;
  void SetAsFloat(double value) override;
  int32_t asInteger() const override { return TextToInteger(StringVal); }
  void SetAsInteger(int32_t value) override;
  bool asBoolean() const override { return StringVal == "T"; }
  void SetAsBoolean(bool value) override;
  TVariant Value() const override { return StringVal; }
  int Compare(const base_Attribute* other) const override;
  void Clear() override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
};

// A signed 32-bit integer. asBoolean is true only for 1. Text writes read the leading integer ("" is 0 and
// not null, "24 " is 24); float writes round (ties to even) and raise ERangeError outside 32 bits.
class Atr_Integer : public base_Attribute {
 public:
  explicit Atr_Integer(std::string_view fldName = {});
  int32_t intVal = 0;

  double asDateTime() const override { return intVal; }
  void SetAsDateTime(double value) override { SetAsFloat(value); }
  std::string asString() const override { return std::to_string(intVal); }
  void SetAsString(std::string_view value) override;
  double asFloat() const override { return intVal; }
  void SetAsFloat(double value) override;
  int32_t asInteger() const override { return intVal; }
  void SetAsInteger(int32_t value) override;
  bool asBoolean() const override { return intVal == 1; }
  void SetAsBoolean(bool value) override { SetAsInteger(value ? 1 : 0); }
  TVariant Value() const override { return intVal; }
  int Compare(const base_Attribute* other) const override;
  void Clear() override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
};

// A Boolean, "T" or "F" as text; any text but "F" writes true.
class Atr_Boolean : public base_Attribute {
 public:
  explicit Atr_Boolean(std::string_view fldName = {});
  bool BooleanVal = false;

  double asDateTime() const override { return BooleanVal ? 1.0 : 0.0; }
  void SetAsDateTime(double value) override { SetAsFloat(value); }
  std::string asString() const override { return BooleanVal ? "T" : "F"; }
  void SetAsString(std::string_view value) override { SetAsBoolean(value != "F"); }
  double asFloat() const override { return BooleanVal ? 1.0 : 0.0; }
  void SetAsFloat(double value) override;
  int32_t asInteger() const override { return BooleanVal ? 1 : 0; }
  void SetAsInteger(int32_t value) override { SetAsBoolean(value != 0); }
  bool asBoolean() const override { return BooleanVal; }
  void SetAsBoolean(bool value) override;
  TVariant Value() const override { return BooleanVal; }
  int Compare(const base_Attribute* other) const override;
  void Clear() override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
};

// A date-time (days since 1899-12-30). Text is "yyyy-mm-dd hh:nn:ss" (DateTimeToText); a bad text raises
// EConvertError. asInteger truncates; asBoolean is false; a Boolean write sets 0.0.
class Atr_dateTime : public base_Attribute {
 public:
  explicit Atr_dateTime(std::string_view fldName = {});
  double dateVal = 0.0;

  double asDateTime() const override { return dateVal; }
  void SetAsDateTime(double value) override { SetAsFloat(value); }
  std::string asString() const override { return DateTimeToText(dateVal); }
  void SetAsString(std::string_view value) override;
  double asFloat() const override { return dateVal; }
  void SetAsFloat(double value) override;
  int32_t asInteger() const override { return TruncToInt32(dateVal); }
  void SetAsInteger(int32_t value) override;
  bool asBoolean() const override { return false; }
  void SetAsBoolean(bool value) override;
  TVariant Value() const override { return TVarDateTime{dateVal}; }
  // 1 when the other date is later, 0 when equal, -1 otherwise; another date must be given.
  int Compare(const base_Attribute* other) const override;
  void Clear() override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;
};

// An owned in-memory byte stream; null exactly when it is empty. Text writes store the bytes; number and
// Boolean writes have no effect.
class Atr_Stream : public base_Attribute {
 public:
  explicit Atr_Stream(std::string_view fldName = {});

  const std::string& streamOfMemory() const { return fBytes; }
  bool IsNull() const override { return fBytes.empty(); }
  double asDateTime() const override { return 0.0; }
  void SetAsDateTime(double) override {}
  std::string asString() const override { return fBytes; }
  void SetAsString(std::string_view value) override { fBytes.assign(value); }
  double asFloat() const override { return 0.0; }
  void SetAsFloat(double) override {}
  std::string asStream() const override { return fBytes; }
  void SetAsStream(std::string_view bytes) override { fBytes.assign(bytes); }
  int32_t asInteger() const override { return 0; }
  void SetAsInteger(int32_t) override {}
  bool asBoolean() const override { return false; }
  void SetAsBoolean(bool) override {}
  TVariant Value() const override { return std::monostate{}; }
  int Compare(const base_Attribute* other) const override;
  void Clear() override;

 protected:
  std::unique_ptr<base_Attribute> NewInstance(std::string_view name) const override;

 private:
  std::string fBytes;
};

}  // namespace zorvik
