#include "records/Attributes.h"

#include <fmt/format.h>

#include <cmath>

#include "records/AttributeCollection.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

template <class T>
int CompareValues(const T& a, const T& b) {
  return a > b ? 1 : (a == b ? 0 : -1);
}

}  // namespace

std::string VarToStr(const TVariant& value) {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(double v) const { return FloatToText(v); }
    std::string operator()(int32_t v) const { return std::to_string(v); }
    std::string operator()(const std::string& v) const { return v; }
    std::string operator()(bool v) const { return v ? "True" : "False"; }
    std::string operator()(TVarDateTime v) const { return DateTimeToText(v.value); }
  };
  return std::visit(Visitor{}, value);
}

// ---- base_Attribute ----------------------------------------------------------------------------------------

base_Attribute::base_Attribute(std::string_view fldName, AttrType type) : fFieldName(AsciiLower(fldName)), fldType(type) {}

void base_Attribute::SetFieldName(std::string_view name) {
  fFieldName = AsciiLower(name);
  NameChanged();
}

void base_Attribute::NameChanged() {
  if (fOwnerCollection) fOwnerCollection->ReindexName(*this);
}

bool base_Attribute::ValueDiffers(const TVariant& newValue) const { return VarToStr(newValue) != VarToStr(Value()); }

bool base_Attribute::AcceptChange(const TVariant& newValue) {
  if (!FChanged) {
    try {
      FChanged = ValueDiffers(newValue);
    } catch (const std::exception&) {
      FChanged = false;
    }
  }
  if (FChanged && fOnChange) fOnChange(*this, newValue);
  return FChanged;
}

base_Attribute* base_Attribute::GetByName(std::string_view) { return nullptr; }

void base_Attribute::Assign(const base_Attribute& src) {
  AssignValue(src);
  FChanged = src.Changed();
}

void base_Attribute::AssignValue(const base_Attribute& src) {
  switch (src.FieldType()) {
    case AttrType::atFloat: SetAsFloat(src.asFloat()); break;
    case AttrType::atString: SetAsString(src.asString()); break;
    case AttrType::atInteger: SetAsInteger(src.asInteger()); break;
    case AttrType::atBoolean: SetAsBoolean(src.asBoolean()); break;
    case AttrType::atDate: SetAsDateTime(src.asDateTime()); break;
    case AttrType::atStream: SetAsStream(src.asStream()); break;
    default: break;
  }
  FNull = src.IsNull();
}

std::unique_ptr<base_Attribute> base_Attribute::Clone() const {
  auto clone = NewInstance({});
  clone->fFieldName = fFieldName;
  clone->Assign(*this);
  return clone;
}

void base_Attribute::ClearState() {
  if (!FNull) FChanged = true;
  FNull = true;
}

// ---- Atr_Float ---------------------------------------------------------------------------------------------

Atr_Float::Atr_Float(std::string_view fldName) : base_Attribute(fldName, AttrType::atFloat) {}

std::unique_ptr<base_Attribute> Atr_Float::NewInstance(std::string_view name) const {
  return std::make_unique<Atr_Float>(name);
}

std::string Atr_Float::asString() const { return FloatToText(floatVal); }

void Atr_Float::SetAsString(std::string_view value) {
  if (value.empty()) {
    Clear();
    return;
  }
  const double x = TextToFloat(value);
  if (OnChange()) {
    if (AcceptChange(x)) floatVal = x;
  } else {
    SetChanged(true);
    floatVal = x;
  }
  SetNull(false);
}

void Atr_Float::Store(double value) {
  if (AcceptChange(value)) floatVal = value;
  SetNull(false);
}

void Atr_Float::SetAsFloat(double value) {
  if (std::isnan(value))
    Clear();
  else
    Store(value);
}

int32_t Atr_Float::asInteger() const { return RoundToInt32(floatVal); }
void Atr_Float::SetAsInteger(int32_t value) { Store(value); }
void Atr_Float::SetAsBoolean(bool value) { Store(value ? 1.0 : 0.0); }

int Atr_Float::Compare(const base_Attribute* other) const {
  return other ? CompareValues(floatVal, other->asFloat()) : -1;
}

void Atr_Float::Clear() {
  ClearState();
  floatVal = 0.0;
}

// ---- Atr_String --------------------------------------------------------------------------------------------

Atr_String::Atr_String(std::string_view fldName) : base_Attribute(fldName, AttrType::atString) {}

std::unique_ptr<base_Attribute> Atr_String::NewInstance(std::string_view name) const {
  return std::make_unique<Atr_String>(name);
}

double Atr_String::asDateTime() const {
  double value = 0.0;
  return TryTextToDateTime(StringVal, value) ? value : std::nan("");
}

void Atr_String::SetAsDateTime(double value) {
  if (std::isnan(value))
    Clear();
  else
    SetAsString(DateTimeToText(value));
}

void Atr_String::SetAsString(std::string_view value) {
  std::string text(value);
  if (AcceptChange(text)) StringVal = std::move(text);
  SetNull(false);
}

double Atr_String::asFloat() const {
  double value = 0.0;
  return TryTextToFloat(StringVal, value) ? value : std::nan("");
}

void Atr_String::SetAsFloat(double value) {
  if (std::isnan(value))
    Clear();
  else
    SetAsString(FloatToFixed(value, 2));
}

void Atr_String::SetAsInteger(int32_t value) { SetAsString(std::to_string(value)); }
void Atr_String::SetAsBoolean(bool value) { SetAsString(value ? "T" : "F"); }

int Atr_String::Compare(const base_Attribute* other) const {
  if (!other) return -1;
  const int c = StringVal.compare(other->asString());
  return c > 0 ? 1 : (c == 0 ? 0 : -1);
}

void Atr_String::Clear() {
  ClearState();
  StringVal.clear();
}

// ---- Atr_Integer -------------------------------------------------------------------------------------------

Atr_Integer::Atr_Integer(std::string_view fldName) : base_Attribute(fldName, AttrType::atInteger) {}

std::unique_ptr<base_Attribute> Atr_Integer::NewInstance(std::string_view name) const {
  return std::make_unique<Atr_Integer>(name);
}

void Atr_Integer::SetAsString(std::string_view value) { SetAsInteger(TextToInteger(value)); }

void Atr_Integer::SetAsFloat(double value) {
  if (std::isnan(value))
    Clear();
  else
    SetAsInteger(RoundToInt32(value));
}

void Atr_Integer::SetAsInteger(int32_t value) {
  if (AcceptChange(value)) intVal = value;
  SetNull(false);
}

int Atr_Integer::Compare(const base_Attribute* other) const {
  return other ? CompareValues(intVal, other->asInteger()) : -1;
}

void Atr_Integer::Clear() {
  ClearState();
  intVal = 0;
}

// ---- Atr_Boolean -------------------------------------------------------------------------------------------

Atr_Boolean::Atr_Boolean(std::string_view fldName) : base_Attribute(fldName, AttrType::atBoolean) {}

std::unique_ptr<base_Attribute> Atr_Boolean::NewInstance(std::string_view name) const {
  return std::make_unique<Atr_Boolean>(name);
}

void Atr_Boolean::SetAsFloat(double value) {
  if (std::isnan(value))
    Clear();
  else
    SetAsBoolean(value != 0.0);
}

void Atr_Boolean::SetAsBoolean(bool value) {
  if (AcceptChange(value)) BooleanVal = value;
  SetNull(false);
}

int Atr_Boolean::Compare(const base_Attribute* other) const {
  if (!other) return -1;
  const bool o = other->asBoolean();
  if (BooleanVal == o) return 0;
  return BooleanVal ? -1 : 1;
}

void Atr_Boolean::Clear() {
  ClearState();
  BooleanVal = false;
}

// ---- Atr_dateTime ------------------------------------------------------------------------------------------

Atr_dateTime::Atr_dateTime(std::string_view fldName) : base_Attribute(fldName, AttrType::atDate) {}

std::unique_ptr<base_Attribute> Atr_dateTime::NewInstance(std::string_view name) const {
  return std::make_unique<Atr_dateTime>(name);
}

void Atr_dateTime::SetAsString(std::string_view value) {
  const double dt = TextToDateTime(value);
  if (AcceptChange(TVarDateTime{dt})) dateVal = dt;
  SetNull(false);
}

void Atr_dateTime::SetAsFloat(double value) {
  if (std::isnan(value)) {
    Clear();
    return;
  }
  if (AcceptChange(TVarDateTime{value})) dateVal = value;
  SetNull(false);
}

void Atr_dateTime::SetAsInteger(int32_t value) { SetAsFloat(value); }
void Atr_dateTime::SetAsBoolean(bool) { SetAsFloat(0.0); }

int Atr_dateTime::Compare(const base_Attribute* other) const {
  if (!other) throw EAssertionFailed("Assertion Failed: compare of date \"" + FieldName() + "\" without another date");
  const double o = other->asDateTime();
  return o > dateVal ? 1 : (o == dateVal ? 0 : -1);
}

void Atr_dateTime::Clear() {
  ClearState();
  dateVal = 0.0;
}

// ---- Atr_Stream --------------------------------------------------------------------------------------------

Atr_Stream::Atr_Stream(std::string_view fldName) : base_Attribute(fldName, AttrType::atStream) {}

std::unique_ptr<base_Attribute> Atr_Stream::NewInstance(std::string_view name) const {
  return std::make_unique<Atr_Stream>(name);
}

int Atr_Stream::Compare(const base_Attribute* other) const {
  if (!other) return -1;
  const int c = fBytes.compare(other->asStream());
  return c > 0 ? 1 : (c == 0 ? 0 : -1);
}

void Atr_Stream::Clear() {
  if (!fBytes.empty()) SetChanged(true);
  fBytes.clear();
}

}  // namespace zorvik
