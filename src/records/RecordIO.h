#pragma once
// The reader/writer protocol shared by every file format. A reader opens its source, reads a header into
// MetaData, defines the fields of RecordData, then reads one record at a time and hands it to every
// subscribed consumer, and finally completes the header and closes:
//
//   TISCPlotReader reader(fileName);        // some Base_AttributeReader
//   reader.WriterSubscribe(myWriter);        // a base_AttributeWriter, owned by the caller
//   reader.Process();                        // ProcessBegin, ProcessRecord per record, ProcessFinish
//   reader.WriterUnsubscribe(myWriter);
//
// The reader owns both records; consumers get references valid during the call only and keep a CloneAs()
// of a record they want to keep (the same RecordData is overwritten by every record). Bad input ends the
// reading quietly through a reader status (readerStatus) that modifiers learn by ProcessError; writers are
// never told of a failure, they only miss ProcessFinish.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records/AttributeCollection.h"
#include "util/StringFile.h"

namespace zorvik {

// Reader statuses; the ordinals are fixed.
enum class attributeReaderStatus : uint8_t {
  arsOK = 0,
  arsBadHeader = 1,
  arsNoConnection = 2,
  arsBadRecord = 3,
  arsBadFooter = 4,
  arsBadFormat = 5,
  arsCancel = 6,
};

// A set of reader statuses.
class attributeReaderStatus_set {
 public:
  constexpr attributeReaderStatus_set() = default;
  constexpr attributeReaderStatus_set(std::initializer_list<attributeReaderStatus> members) {
    for (auto m : members) Include(m);
  }
  // Every status except arsOK: the default terminators of a reader.
  static constexpr attributeReaderStatus_set AllButOK() {
    attributeReaderStatus_set s;
    s.fBits = 0x7E;
    return s;
  }
  constexpr bool Contains(attributeReaderStatus m) const { return (fBits >> static_cast<unsigned>(m)) & 1u; }
  constexpr void Include(attributeReaderStatus m) { fBits = static_cast<uint8_t>(fBits | (1u << static_cast<unsigned>(m))); }
  constexpr void Exclude(attributeReaderStatus m) {
    fBits = static_cast<uint8_t>(fBits & ~(1u << static_cast<unsigned>(m)));
  }
  constexpr bool Empty() const { return fBits == 0; }
  constexpr bool operator==(const attributeReaderStatus_set&) const = default;

 private:
  uint8_t fBits = 0;
};

// The status's member name ("arsBadRecord").
std::string_view ReaderStatusName(attributeReaderStatus status);

// A consumer that sees the records of a pass (and may change them before the writers see them).
class base_AttributeModifier {
 public:
  virtual ~base_AttributeModifier() = default;
  virtual void ProcessInit(TAttributeCollectionRef& /*header*/, TAttributeCollectionRef& /*fields*/) {}
  virtual void ProcessRecord(TAttributeCollectionRef& newRecord) = 0;
  virtual void ProcessError(attributeReaderStatus error) = 0;
  virtual void ProcessFinish(TAttributeCollectionRef& /*footer*/) {}
};

// A consumer that also receives the header and the field list once, before the first record.
class base_AttributeWriter : public base_AttributeModifier {
 public:
  virtual void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) = 0;
};

class Base_AttributeReader {
 public:
  Base_AttributeReader() = default;
  virtual ~Base_AttributeReader() = default;
  Base_AttributeReader(const Base_AttributeReader&) = delete;
  Base_AttributeReader& operator=(const Base_AttributeReader&) = delete;

  // The class name used in traced contexts ("TISCPlotReader"); every concrete reader overrides it.
  virtual std::string_view ClassName() const { return "Base_AttributeReader"; }

  // Writers may be subscribed twice (then they get every call twice); unsubscribing removes the first.
  void WriterSubscribe(base_AttributeWriter& writer);
  void WriterUnsubscribe(base_AttributeWriter& writer);
  bool WriterSubscribed(const base_AttributeWriter& writer) const;
  // Modifiers are subscribed once at most.
  void ModifierSubscribe(base_AttributeModifier& modifier);
  void ModifierUnsubscribe(base_AttributeModifier& modifier);
  bool ModifierSubscribed(const base_AttributeModifier& modifier) const;

  attributeReaderStatus readerStatus() const { return freaderStatus; }
  // Statuses that end the reading loop before the next record (default: all but arsOK).
  attributeReaderStatus_set processTerminators() const { return fprocessTerminators; }
  void SetProcessTerminators(attributeReaderStatus_set terminators) { fprocessTerminators = terminators; }

  // Runs one pass over the data source.
  virtual void Process() = 0;

 protected:
  virtual void NotifyWritersBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields);
  virtual void NotifyModifiersInit(TAttributeCollectionRef& header, TAttributeCollectionRef& fields);
  virtual void NotifyModifiersRecord(TAttributeCollectionRef& record);
  virtual void NotifyWritersRecord(TAttributeCollectionRef& record);
  virtual void NotifyModifiersFinish(TAttributeCollectionRef& footer);
  virtual void NotifyWritersFinish(TAttributeCollectionRef& footer);
  void NotifyModifiersError(attributeReaderStatus error);

  virtual void OpenDataHandle() = 0;
  virtual void CloseDataHandle() = 0;
  virtual bool EndOfData() = 0;
  // Fills the metadata and defines the record's fields.
  virtual void ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) = 0;
  // Overwrites the record's attributes with the next record.
  virtual void ReadRecord(TAttributeCollectionRef& record) = 0;
  // Completes the metadata after the last record.
  virtual void ReadFooter(TAttributeCollectionRef& metadata) = 0;
  // Reads one record and hands it on by the status it leaves.
  virtual void NextInRecordSet();

  // The steps of a pass. OpenRecordset creates the records, opens the source, reads the header and tells
  // the consumers; a failure there closes everything again and raises "<ClassName>.OpenRecordSet".
  void OpenRecordset();
  bool EofRecordSet() { return EndOfData(); }
  // Reads the footer, tells the consumers (only when the status is arsOK or arsCancel), then always closes
  // the source and frees the records.
  void CloseRecordset();
  // The whole pass: OpenRecordset, records until a terminator status or the end, CloseRecordset (also
  // when reading a record raised).
  void RunPass();

  void SetReaderStatus(attributeReaderStatus status) { freaderStatus = status; }

  std::vector<base_AttributeWriter*> WriterList;      // not owned
  std::vector<base_AttributeModifier*> ModifierList;  // not owned
  // The records of the current pass (none outside a pass); held by shared pointers so that a consumer may
  // also add them to its own collections.
  std::shared_ptr<TAttributeCollectionRef> RecordData;
  std::shared_ptr<TAttributeCollectionRef> MetaData;
  attributeReaderStatus freaderStatus = attributeReaderStatus::arsOK;
  attributeReaderStatus_set fprocessTerminators = attributeReaderStatus_set::AllButOK();
  int32_t recordCount = 0;  // records read in the current pass (RecordCount of TBaseRecordSetReader)
};

class TBaseRecordSetReader : public Base_AttributeReader {
 public:
  std::string_view ClassName() const override { return "TBaseRecordSetReader"; }
  // Records read in the current (or last) pass.
  int32_t RecordCount() const { return recordCount; }
};

// A reader of a named file.
class TBaseDataSetReader : public TBaseRecordSetReader {
 public:
  explicit TBaseDataSetReader(std::string NameOfDataSet = {}) : fDataSetName(std::move(NameOfDataSet)) {}
  std::string_view ClassName() const override { return "TBaseDataSetReader"; }

  const std::string& DataSetName() const { return fDataSetName; }
  void SetDataSetName(std::string name) { fDataSetName = std::move(name); }

  // Raises EFileNotFound (message: the path) when no file exists at DataSetName; otherwise runs the pass,
  // and a failure passing out of it gains the context "<ClassName>.process".
  void Process() override;

 protected:
  std::string fDataSetName;
};

// A reader of a text file, read line by line through TStringFile.
class TDataSetReader_Text : public TBaseDataSetReader {
 public:
  explicit TDataSetReader_Text(std::string NameOfDataSet = {});
  ~TDataSetReader_Text() override;
  std::string_view ClassName() const override { return "TDataSetReader_Text"; }

 protected:
  // Opens DataSetName for reading; EFOpenError names the file when it cannot be opened.
  void OpenDataHandle() override;
  void CloseDataHandle() override;
  // True at the end of the text file (and when it is not open).
  bool EndOfData() override;
  // The open text file; valid between OpenDataHandle and CloseDataHandle.
  TStringFile& Textfile();
  // "<file>, line <n>" for messages about the line read last.
  std::string Where() const;

  std::unique_ptr<TStringFile> fTextfile;
};

}  // namespace zorvik
