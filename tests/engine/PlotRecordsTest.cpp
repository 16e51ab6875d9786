// The records a receptor list makes on demand from the PLOTFILE's columns: refilling one record receptor after
// receptor must give exactly the record made afresh for each (nulls, -0 coordinates and all), with the result
// fields "date" and "rank" empty.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/PlotRecords.h"
#include "plotfile/PlotFile.h"
#include "records/AttributeCollection.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

void ExpectSameFields(const TAttributeCollectionRef& refilled, const TAttributeCollectionRef& fresh, int receptor) {
  for (int k = 0; k < fresh.Count(); ++k) {
    const base_Attribute& want = fresh.ByIndex(k);
    const bool result = want.FieldName() == "date" || want.FieldName() == "rank";
    const base_Attribute& got = refilled.ByIndex(k);
    ASSERT_EQ(got.FieldName(), want.FieldName());
    EXPECT_EQ(got.IsNull(), result || want.IsNull()) << "receptor " << receptor << " " << want.FieldName();
    if (result) continue;
    EXPECT_EQ(got.asString(), want.asString()) << "receptor " << receptor << " " << want.FieldName();
    if (want.FieldType() == AttrType::atFloat) {  // the text of -0 is that of 0
      EXPECT_EQ(std::signbit(got.asFloat()), std::signbit(want.asFloat())) << "receptor " << receptor << " " << want.FieldName();
    }
  }
}

TEST(PlotRecordsTest, RefilledRecordEqualsAFreshOneForEveryReceptor) {
  for (const char* file : {"disc36/disc36.plt", "depos/depos.plt", "grid144/grid144.plt"}) {
    const TPlotFile plot = TPlotFile::Read(test::FixtureFile(file));
    TPlotRecords records(plot);
    // Backwards after forwards, with a field a writer adds: every field comes from the receptor asked for.
    for (int pass = 0; pass < 2; ++pass)
      for (int n = 0; n < plot.ReceptorCount(); ++n) {
        const int i = pass == 0 ? n : plot.ReceptorCount() - 1 - n;
        TAttributeCollectionRef& record = records.Record(i);
        ExpectSameFields(record, *plot.ReceptorRecord(i), i);
        record.DefineString("sgroup", "ADDED");
        ExpectSameFields(*records.Take(i), *plot.ReceptorRecord(i), i);
      }
  }
}

}  // namespace
}  // namespace zorvik
