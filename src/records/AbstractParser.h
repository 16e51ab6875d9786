#pragma once
// TAbstract_Parser: the base of the line parsers (Fortran FORMAT statements, blank-separated fields) that
// cut one line of text into named elements of a record. The buffer structure names the elements: element i
// is named after definition i, or by the decimal text of i beyond the definitions.
#include <string>
#include <string_view>

#include "records/AttributeCollection.h"

namespace zorvik {

class TAbstract_Parser {
 public:
  virtual ~TAbstract_Parser() = default;

  // Clears Elements and fills it with the elements of inputStr.
  virtual void LexElements(std::string_view inputStr, TAttributeCollectionRef& Elements) = 0;

  const TFieldDefinitions& BufferStructure() const { return FBufferStructure; }
  void SetBufferStructure(TFieldDefinitions structure) {
    FBufferStructure = std::move(structure);
    FFieldCount = static_cast<int>(FBufferStructure.size());
  }
  int FieldCount() const { return FFieldCount; }
  // The name of element number i.
  std::string GetFieldName(int i) const {
    return i >= 0 && i < FFieldCount ? FBufferStructure[static_cast<size_t>(i)].fieldName : std::to_string(i);
  }

 protected:
  TFieldDefinitions FBufferStructure;
  int FFieldCount = 0;
};

}  // namespace zorvik
