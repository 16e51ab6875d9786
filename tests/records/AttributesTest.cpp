#include "records/Attributes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

// A float that reports its destruction.
class TWatchedFloat : public Atr_Float {
 public:
  TWatchedFloat(std::string_view name, bool& destroyed) : Atr_Float(name), fDestroyed(destroyed) {}
  ~TWatchedFloat() override { fDestroyed = true; }

 private:
  bool& fDestroyed;
};

using TCollectionMaker = std::function<std::unique_ptr<TAttributeCollectionBase>()>;

class CollectionKindTest : public ::testing::TestWithParam<std::pair<const char*, TCollectionMaker>> {};

TEST_P(CollectionKindTest, NamesAreLoweredAndFoundInAnyCase) {
  auto c = GetParam().second();
  c->AddAttribute(std::make_unique<Atr_String>("Header1"));
  c->AddAttribute(std::make_unique<Atr_Integer>("Count_A"));
  for (const char* query : {"HEADER1", "header1", "Header1"}) {
    base_Attribute* a = c->ByName(query);
    ASSERT_NE(a, nullptr) << query;
    EXPECT_EQ(a->FieldName(), "header1");
    EXPECT_EQ(c->IndexOfName(query), 0);
  }
  EXPECT_EQ(c->IndexOfName("COUNT_a"), 1);
  const TAttributeCollectionBase& readOnly = *c;
  EXPECT_EQ(readOnly.ByName("COUNT_A"), &readOnly.ByIndex(1));
  EXPECT_EQ(c->ByName("missing"), nullptr);
  EXPECT_EQ(c->IndexOfName("missing"), -1);
  // Renaming re-keys the attribute (the index of indexed collections is built by the lookups above).
  c->ByName("header1")->SetFieldName("Title");
  EXPECT_EQ(c->ByName("header1"), nullptr);
  ASSERT_NE(c->ByName("TITLE"), nullptr);
  EXPECT_EQ(c->ByName("title")->FieldName(), "title");
}

TEST_P(CollectionKindTest, MissingNameRaisesWithCallersText) {
  auto c = GetParam().second();
  const bool indexed = dynamic_cast<TAttributecollectionFast*>(c.get()) != nullptr;
  try {
    c->ByName("Conc", true, "reading receptors");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), indexed ? "Missing attribute - Conc: reading receptors"
                                   : "Missing SD attribute - Conc: reading receptors");
  }
}

TEST_P(CollectionKindTest, DuplicateNamesGiveTheFirstInListOrder) {
  auto c = GetParam().second();
  c->DefineString("a", "first");
  c->AddAttribute(std::make_unique<Atr_String>("A")).SetAsString("second");
  EXPECT_EQ(c->ByName("a")->asString(), "first");
  c->DropByIndex(0);
  EXPECT_EQ(c->ByName("a")->asString(), "second");
}

INSTANTIATE_TEST_SUITE_P(
    All, CollectionKindTest,
    ::testing::Values(
        std::pair<const char*, TCollectionMaker>{"Plain", [] { return std::make_unique<TAttributeCollectionBase>("c"); }},
        std::pair<const char*, TCollectionMaker>{"Fast", [] { return std::make_unique<TAttributecollectionFast>("c"); }},
        std::pair<const char*, TCollectionMaker>{"Ref", [] { return std::make_unique<TAttributeCollectionRef>("c"); }}),
    [](const auto& info) { return std::string(info.param.first); });

TEST(AttributeOwnershipTest, AddingAnOwnedPlainAttributeMovesIt) {
  bool destroyed = false;
  auto a = std::make_unique<TAttributeCollectionRef>("A");
  auto b = std::make_unique<TAttributeCollectionRef>("B");
  auto& x = a->AddAttribute(std::make_unique<TWatchedFloat>("x", destroyed));
  x.SetAsFloat(2.5);
  b->AddAttribute(x);
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(a->ByName("x"), nullptr);
  EXPECT_EQ(x.ParentCollection(), b.get());
  a.reset();
  EXPECT_FALSE(destroyed);
  EXPECT_DOUBLE_EQ(b->ByName("x")->asFloat(), 2.5);
  b.reset();
  EXPECT_TRUE(destroyed);
}

TEST(AttributeOwnershipTest, SharedRecordPassesToTheNextHolder) {
  TAttributeCollectionRef a("A"), b("B");
  std::weak_ptr<TAttributeCollectionRef> watch;
  {
    auto record = std::make_shared<TAttributeCollectionRef>("rec");
    watch = record;
    a.AddAttribute(record);
    b.AddAttribute(*record);  // shared by reference: B becomes a further holder
  }
  auto rec = watch.lock();
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->RefereeCount(), 2);
  EXPECT_EQ(rec->GetRefereeByIndex(0), &a);
  EXPECT_EQ(rec->GetRefereeByIndex(1), &b);
  rec.reset();

  a.DropByName("REC");
  rec = watch.lock();
  ASSERT_TRUE(rec) << "dropping from the owner freed a record another collection holds";
  EXPECT_EQ(rec->ParentCollection(), &b);
  EXPECT_EQ(rec->RefereeCount(), 1);
  rec.reset();

  b.DropByName("rec");
  EXPECT_TRUE(watch.expired());
}

TEST(AttributeOwnershipTest, DestroyingTheOwnerKeepsASharedRecordForItsHolder) {
  auto b = std::make_unique<TAttributeCollectionBase>("B");
  std::weak_ptr<TAttributeCollectionRef> watch;
  {
    auto a = std::make_unique<TAttributeCollectionRef>("A");
    auto& rec = a->AddAttribute(std::make_unique<TAttributeCollectionRef>("rec"));
    rec.DefineInteger("n", 7);
    watch = rec.weak_from_this();
    b->AddAttribute(rec);
  }
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(watch.lock()->ParentCollection(), b.get());
  EXPECT_EQ(b->ByPath("rec\\n")->asInteger(), 7);
  b.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(AttributeOwnershipTest, RenamingASharedRecordReKeysItInEveryHolder) {
  TAttributeCollectionRef a("A"), b("B");
  auto& rec = a.AddAttribute(std::make_unique<TAttributeCollectionRef>("old"));
  b.AddAttribute(rec);
  ASSERT_EQ(a.ByName("old"), &rec);  // builds both indexes
  ASSERT_EQ(b.ByName("old"), &rec);
  rec.SetFieldName("New");
  EXPECT_EQ(a.ByName("new"), &rec);
  EXPECT_EQ(b.ByName("NEW"), &rec);
  EXPECT_EQ(b.ByName("old"), nullptr);
}

TEST(AttributeOwnershipTest, AttributesWithoutOwnerOrCyclesAreRefused) {
  TAttributeCollectionRef a("A");
  Atr_Float loose("loose");
  EXPECT_THROW(a.AddAttribute(loose), EAssertionFailed);
  auto& child = a.AddAttribute(std::make_unique<TAttributeCollectionBase>("child"));
  EXPECT_THROW(child.AddAttribute(child), EAssertionFailed);
  EXPECT_EQ(a.Count(), 1);
}

TEST(DefineTest, ModeDecidesWhetherAPresentValueIsOverwritten) {
  TAttributeCollectionRef rec("r");
  rec.DefineString("x", "old");
  rec.DefineString("X", "abc", TDefineAttributeMode::damAssignIfNotExist);
  EXPECT_EQ(rec.ByName("x")->asString(), "old");
  rec.DefineString("x", "abc", TDefineAttributeMode::damAlwaysAssign);
  EXPECT_EQ(rec.ByName("x")->asString(), "abc");
  EXPECT_EQ(rec.Count(), 1);
  // A present attribute keeps its kind and converts the value.
  rec.DefineInteger("n", 3);
  base_Attribute& n = rec.DefineFloat("n", 4.6);
  EXPECT_EQ(n.FieldType(), AttrType::atInteger);
  EXPECT_EQ(n.asInteger(), 5);
}

TEST(ConversionTest, TextWritesFollowEachKindsRules) {
  Atr_Float f("f");
  f.SetAsString("1,5");
  EXPECT_DOUBLE_EQ(f.asFloat(), 1.5);
  EXPECT_FALSE(f.IsNull());
  f.SetAsString("");
  EXPECT_TRUE(f.IsNull());
  EXPECT_EQ(f.asFloat(), 0.0);
  f.SetAsString("  -2.5E+02 ");
  EXPECT_DOUBLE_EQ(f.asFloat(), -250.0);
  f.SetAsFloat(std::nan(""));
  EXPECT_TRUE(f.IsNull());

  Atr_Integer i("i");
  i.SetAsString("");
  EXPECT_EQ(i.asInteger(), 0);
  EXPECT_FALSE(i.IsNull());
  i.SetAsString("24 ");
  EXPECT_EQ(i.asInteger(), 24);
  i.SetAsInteger(2);
  EXPECT_FALSE(i.asBoolean());

  Atr_String s("s");
  s.SetAsString("t");
  EXPECT_FALSE(s.asBoolean());
  s.SetAsString("T");
  EXPECT_TRUE(s.asBoolean());
  s.SetAsFloat(2.0 / 3.0);
  EXPECT_EQ(s.asString(), "0.67");

  Atr_Boolean b("b");
  b.SetAsString("no");
  EXPECT_TRUE(b.asBoolean());
  b.SetAsString("F");
  EXPECT_FALSE(b.asBoolean());
  EXPECT_EQ(b.asString(), "F");
}

TEST(ConversionTest, BadTextsRaiseNamingTheText) {
  Atr_Float f("f");
  try {
    f.SetAsString("1,5,3");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1,5,3' is not a valid floating point value");
  }
  Atr_dateTime d("d");
  EXPECT_THROW(d.SetAsString("30.02.2016"), EConvertError);
  Atr_Float big("big");
  big.SetAsFloat(3e9);
  EXPECT_THROW(big.asInteger(), ERangeError);
  Atr_Integer i("i");
  EXPECT_THROW(i.SetAsFloat(-3e9), ERangeError);
}

TEST(ConversionTest, ReadsOfEveryKind) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<base_Attribute>()> make;
    std::string text;
    double number;
    int32_t integer;
    bool boolean;
  };
  const Case cases[] = {
      {"float", [] { auto a = std::make_unique<Atr_Float>("a"); a->SetAsFloat(2.5); return a; }, "2.5", 2.5, 2, true},
      {"float odd", [] { auto a = std::make_unique<Atr_Float>("a"); a->SetAsFloat(3.5); return a; }, "3.5", 3.5, 4, true},
      {"integer", [] { auto a = std::make_unique<Atr_Integer>("a"); a->SetAsInteger(1); return a; }, "1", 1, 1, true},
      {"string", [] { auto a = std::make_unique<Atr_String>("a"); a->SetAsString("12x"); return a; }, "12x", std::nan(""), 12, false},
      {"boolean", [] { auto a = std::make_unique<Atr_Boolean>("a"); a->SetAsBoolean(true); return a; }, "T", 1, 1, true},
      {"date", [] { auto a = std::make_unique<Atr_dateTime>("a"); a->SetAsString("2016-07-08 13:30"); return a; },
       "2016-07-08 13:30:00", 42559.5625, 42559, false},
      {"stream", [] { auto a = std::make_unique<Atr_Stream>("a"); a->SetAsString(std::string("a\0b", 3)); return a; },
       std::string("a\0b", 3), 0, 0, false},
      {"collection", [] { return std::make_unique<TAttributeCollectionRef>("a"); }, "", 1e30, 2147483647, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto a = c.make();
    EXPECT_EQ(a->asString(), c.text);
    if (std::isnan(c.number))
      EXPECT_TRUE(std::isnan(a->asFloat()));
    else
      EXPECT_DOUBLE_EQ(a->asFloat(), c.number);
    EXPECT_EQ(a->asInteger(), c.integer);
    EXPECT_EQ(a->asBoolean(), c.boolean);
  }
}

TEST(ConversionTest, StreamIsNullExactlyWhenEmptyAndIgnoresNumbers) {
  Atr_Stream s("s");
  EXPECT_TRUE(s.IsNull());
  s.SetAsFloat(5);
  EXPECT_TRUE(s.IsNull());
  s.SetAsStream("xyz");
  EXPECT_FALSE(s.IsNull());
  EXPECT_EQ(s.asString(), "xyz");
  s.Clear();
  EXPECT_TRUE(s.IsNull());
}

TEST(ChangeDetectionTest, EqualTextIsNotStoredWhileUnchangedAndOnChangeSeesEachChange) {
  Atr_Integer i("i");
  std::vector<std::string> seen;
  i.SetOnChange([&](base_Attribute& sender, const TVariant& v) {
    seen.push_back(sender.FieldName() + "=" + VarToStr(v));
    return true;
  });
  i.SetAsInteger(0);  // same text as the initial value: not a change, but no longer null
  EXPECT_FALSE(i.Changed());
  EXPECT_FALSE(i.IsNull());
  EXPECT_TRUE(seen.empty());
  i.SetAsInteger(5);
  EXPECT_TRUE(i.Changed());
  i.SetAsInteger(5);  // once changed, every write is stored and notified
  EXPECT_EQ(seen, (std::vector<std::string>{"i=5", "i=5"}));
  i.SetChanged(false);
  i.Clear();
  EXPECT_TRUE(i.Changed()) << "clearing a value that was not null is a change";
  EXPECT_TRUE(i.IsNull());
}

TEST(CompareTest, OrderingOfEachKind) {
  Atr_Float f1("a"), f2("b");
  f1.SetAsFloat(1);
  f2.SetAsFloat(2);
  EXPECT_EQ(f2.Compare(&f1), 1);
  EXPECT_EQ(f1.Compare(&f2), -1);
  EXPECT_EQ(f1.Compare(&f1), 0);
  EXPECT_EQ(f1.Compare(nullptr), -1);
  Atr_String s1("a"), s2("b");
  s1.SetAsString("B");
  s2.SetAsString("a");
  EXPECT_EQ(s1.Compare(&s2), -1) << "ordinal, case-sensitive";
  Atr_Boolean t("t"), f("f");
  t.SetAsBoolean(true);
  EXPECT_EQ(f.Compare(&t), 1);
  EXPECT_EQ(t.Compare(&f), -1);
  EXPECT_EQ(t.Compare(nullptr), -1);
  Atr_dateTime d1("d1"), d2("d2");
  d1.SetAsFloat(100);
  d2.SetAsFloat(200);
  EXPECT_EQ(d1.Compare(&d2), 1) << "1 when the other date is later";
  EXPECT_EQ(d2.Compare(&d1), -1);
  TAttributeCollectionRef c("c");
  try {
    c.Compare(&c);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "compare not implemented for collections");
  }
}

TEST(CopyTest, CloneIsADeepIndependentCopy) {
  TAttributeCollectionRef rec("Rec");
  rec.DefineFloat("conc", 12.5);
  rec.DefineString("grp", "ALL");
  auto& nested = rec.AddAttribute(std::make_unique<TAttributeCollectionRef>("nested"));
  nested.DefineInteger("n", 3);
  auto copy = CloneAs(rec);
  ASSERT_EQ(copy->Count(), 3);
  EXPECT_EQ(copy->FieldName(), "rec");
  EXPECT_EQ(copy->ParentCollection(), nullptr);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(copy->ByIndex(i).FieldName(), rec.ByIndex(i).FieldName());
    EXPECT_NE(&copy->ByIndex(i), &rec.ByIndex(i));
    EXPECT_EQ(copy->ByIndex(i).FieldType(), rec.ByIndex(i).FieldType());
  }
  EXPECT_DOUBLE_EQ(copy->ByName("conc")->asFloat(), 12.5);
  rec.ByName("conc")->SetAsFloat(1);
  rec.ByPath("nested\\n")->SetAsInteger(9);
  EXPECT_DOUBLE_EQ(copy->ByName("conc")->asFloat(), 12.5);
  EXPECT_EQ(copy->ByPath("nested\\n")->asInteger(), 3);
  EXPECT_EQ(copy->ByPath("conc\\x"), nullptr);
  EXPECT_EQ(copy->CountTotal(), 4);
}

TEST(CopyTest, AssignValueCarriesNullAndCopyDataFromMatchesNames) {
  TAttributeCollectionRef src("s"), dst("d");
  src.AddAttribute(std::make_unique<Atr_Float>("conc"));  // null
  src.DefineString("hour", "1-HR");
  src.DefineString("extra", "ignored");
  dst.DefineFloat("conc", 5);
  dst.DefineString("HOUR", "x");
  dst.CopyDataFrom(src);
  EXPECT_TRUE(dst.ByName("conc")->IsNull());
  EXPECT_EQ(dst.ByName("hour")->asString(), "1-HR");
  EXPECT_EQ(dst.ByName("extra"), nullptr);
  EXPECT_EQ(dst.GetAttributeValue("hour"), "1-HR");
  EXPECT_EQ(dst.GetAttributeValue("none"), "");
  dst.ClearFields();
  EXPECT_TRUE(dst.ByName("hour")->IsNull());
  EXPECT_EQ(dst.Count(), 2);
}

TEST(CollectionTest, IndexOutOfRangeRaisesListError) {
  TAttributeCollectionRef rec("rec");
  EXPECT_THROW(rec.ByIndex(0), EListError);
  EXPECT_THROW(rec.DropByIndex(-1), EListError);
}

TEST(FactoryTest, DefineCollectionBuildsFieldsInOrder) {
  TAttributeCollectionRef rec("rec");
  rec.DefineString("stale", "x");
  AttributeFactory().DefineCollection(&rec, {{"YEAR", AttrType::atInteger}, {"H", AttrType::atFloat},
                                             {"sub", AttrType::atCollection}});
  ASSERT_EQ(rec.Count(), 3);
  EXPECT_EQ(rec.ByIndex(0).FieldName(), "year");
  EXPECT_EQ(rec.ByIndex(1).FieldType(), AttrType::atFloat);
  EXPECT_NE(dynamic_cast<TAttributeCollectionRef*>(&rec.ByIndex(2)), nullptr);
  EXPECT_TRUE(rec.ByIndex(0).IsNull());

  AttributeFactory().DefineHomogeneousCollection(&rec, AttrType::atString, 3);
  ASSERT_EQ(rec.Count(), 3);
  EXPECT_EQ(rec.ByIndex(2).FieldName(), "3");
  EXPECT_EQ(AttributeFactory().MakeField("p", AttrType::atPoints), nullptr);
}

TEST(FactoryTest, FailuresNameTheFieldAndTheOperation) {
  TAttributeCollectionRef rec("Receptor");
  try {
    AttributeFactory().DefineCollection(&rec, {{"x", AttrType::atFloat}, {"shape", AttrType::atPoints}});
    FAIL() << "no exception";
  } catch (const EStackTrace& e) {
    EXPECT_STREQ(e.what(),
                 "Exception: Cannot make field 1 \"shape\" for collection \"receptor\"\r\n"
                 "TFactory_AttributeField.DefineCollection");
  }
  try {
    AttributeFactory().DefineHomogeneousCollection(nullptr, AttrType::atFloat, 2);
    FAIL() << "no exception";
  } catch (const EStackTrace& e) {
    EXPECT_EQ(RootMessage(e), "Collection is not assigned");
  }
}

}  // namespace
}  // namespace zorvik
