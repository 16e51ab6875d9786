#include "records/RecordIO.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>

#include "util/ExceptionLog.h"
#include "util/StringFile.h"

namespace zorvik {

std::string_view ReaderStatusName(attributeReaderStatus status) {
  switch (status) {
    case attributeReaderStatus::arsOK: return "arsOK";
    case attributeReaderStatus::arsBadHeader: return "arsBadHeader";
    case attributeReaderStatus::arsNoConnection: return "arsNoConnection";
    case attributeReaderStatus::arsBadRecord: return "arsBadRecord";
    case attributeReaderStatus::arsBadFooter: return "arsBadFooter";
    case attributeReaderStatus::arsBadFormat: return "arsBadFormat";
    case attributeReaderStatus::arsCancel: return "arsCancel";
  }
  return "?";
}

// ---- subscriptions -----------------------------------------------------------------------------------------

void Base_AttributeReader::WriterSubscribe(base_AttributeWriter& writer) { WriterList.push_back(&writer); }

void Base_AttributeReader::WriterUnsubscribe(base_AttributeWriter& writer) {
  auto it = std::find(WriterList.begin(), WriterList.end(), &writer);
  if (it != WriterList.end()) WriterList.erase(it);
}

bool Base_AttributeReader::WriterSubscribed(const base_AttributeWriter& writer) const {
  return std::find(WriterList.begin(), WriterList.end(), &writer) != WriterList.end();
}

void Base_AttributeReader::ModifierSubscribe(base_AttributeModifier& modifier) {
  if (!ModifierSubscribed(modifier)) ModifierList.push_back(&modifier);
}

void Base_AttributeReader::ModifierUnsubscribe(base_AttributeModifier& modifier) {
  auto it = std::find(ModifierList.begin(), ModifierList.end(), &modifier);
  if (it != ModifierList.end()) ModifierList.erase(it);
}

bool Base_AttributeReader::ModifierSubscribed(const base_AttributeModifier& modifier) const {
  return std::find(ModifierList.begin(), ModifierList.end(), &modifier) != ModifierList.end();
}

// ---- notifications -----------------------------------------------------------------------------------------
// Copies of the lists are walked, so that a consumer may unsubscribe itself during a call.

void Base_AttributeReader::NotifyWritersBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) {
  for (auto* w : std::vector(WriterList)) w->ProcessBegin(header, fields);
}

void Base_AttributeReader::NotifyModifiersInit(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) {
  for (auto* m : std::vector(ModifierList)) m->ProcessInit(header, fields);
}

void Base_AttributeReader::NotifyModifiersRecord(TAttributeCollectionRef& record) {
  for (auto* m : std::vector(ModifierList)) m->ProcessRecord(record);
}

void Base_AttributeReader::NotifyWritersRecord(TAttributeCollectionRef& record) {
  for (auto* w : std::vector(WriterList)) w->ProcessRecord(record);
}

void Base_AttributeReader::NotifyModifiersFinish(TAttributeCollectionRef& footer) {
  for (auto* m : std::vector(ModifierList)) m->ProcessFinish(footer);
}

void Base_AttributeReader::NotifyWritersFinish(TAttributeCollectionRef& footer) {
  for (auto* w : std::vector(WriterList)) w->ProcessFinish(footer);
}

void Base_AttributeReader::NotifyModifiersError(attributeReaderStatus error) {
  for (auto* m : std::vector(ModifierList)) m->ProcessError(error);
}

// ---- the pass ----------------------------------------------------------------------------------------------

void Base_AttributeReader::NextInRecordSet() {
  ReadRecord(*RecordData);
  ++recordCount;
  switch (freaderStatus) {
    case attributeReaderStatus::arsCancel: break;  // skipped without a report
    case attributeReaderStatus::arsOK:
      NotifyModifiersRecord(*RecordData);
      NotifyWritersRecord(*RecordData);
      break;
    default: NotifyModifiersError(freaderStatus); break;
  }
}

void Base_AttributeReader::OpenRecordset() {
  freaderStatus = attributeReaderStatus::arsOK;
  RecordData = std::make_shared<TAttributeCollectionRef>("collection");
  MetaData = std::make_shared<TAttributeCollectionRef>("collection");
  recordCount = 0;
  try {
    OpenDataHandle();
    if (freaderStatus != attributeReaderStatus::arsOK) {
      NotifyModifiersError(freaderStatus);
      return;
    }
    ReadHeader(*MetaData, *RecordData);
    if (freaderStatus != attributeReaderStatus::arsOK) {
      NotifyModifiersError(freaderStatus);
      return;
    }
    NotifyModifiersInit(*MetaData, *RecordData);
    NotifyWritersBegin(*MetaData, *RecordData);
  } catch (...) {
    // Close everything again, then raise the first failure with this step's name (and the closing's own
    // failure, when there is one).
    std::string context = std::string(ClassName()) + ".OpenRecordSet";
    RecordData.reset();
    MetaData.reset();
    try {
      CloseDataHandle();
    } catch (const std::exception& closing) {
      context += "\r\n DestroyDataHandle: ";
      context += closing.what();
    }
    detail::RethrowTraced(context);
  }
}

void Base_AttributeReader::CloseRecordset() {
  // The source is closed and the records freed whatever fails; the first failure is raised afterwards.
  std::exception_ptr failure;
  try {
    if (MetaData) {
      ReadFooter(*MetaData);
      if (freaderStatus != attributeReaderStatus::arsOK && freaderStatus != attributeReaderStatus::arsCancel) {
        NotifyModifiersError(freaderStatus);
      } else {
        NotifyModifiersFinish(*MetaData);
        NotifyWritersFinish(*MetaData);
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    CloseDataHandle();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  RecordData.reset();
  MetaData.reset();
  if (failure) std::rethrow_exception(failure);
}

void Base_AttributeReader::RunPass() {
  OpenRecordset();
  try {
    while (!fprocessTerminators.Contains(freaderStatus) && !EndOfData()) NextInRecordSet();
  } catch (...) {
    try {
      CloseRecordset();
    } catch (...) {
      // The failure of the record is the one to report.
    }
    throw;
  }
  CloseRecordset();
}

void TBaseDataSetReader::Process() {
  std::error_code ec;
  if (!std::filesystem::exists(fDataSetName, ec) || std::filesystem::is_directory(fDataSetName, ec))
    throw EFileNotFound(fDataSetName);
  traced(std::string(ClassName()) + ".process", [&] { RunPass(); });
}

// ---- TDataSetReader_Text -----------------------------------------------------------------------------------

TDataSetReader_Text::TDataSetReader_Text(std::string NameOfDataSet) : TBaseDataSetReader(std::move(NameOfDataSet)) {}

TDataSetReader_Text::~TDataSetReader_Text() = default;

void TDataSetReader_Text::OpenDataHandle() {
  fTextfile = std::make_unique<TStringFile>(fDataSetName, TStringFileMode::smRead);
}

void TDataSetReader_Text::CloseDataHandle() { fTextfile.reset(); }

bool TDataSetReader_Text::EndOfData() { return !fTextfile || fTextfile->Eof(); }

TStringFile& TDataSetReader_Text::Textfile() {
  if (!fTextfile) throw EInOutError(fmt::format("File not open: {}", fDataSetName));
  return *fTextfile;
}

std::string TDataSetReader_Text::Where() const {
  return fmt::format("{}, line {}", fDataSetName, fTextfile ? fTextfile->LineNumber() : 0);
}

}  // namespace zorvik
