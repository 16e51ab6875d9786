#include "controls/BoundedRealEditLogic.h"
#include "controls/RealEditLogic.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace zorvik {
namespace {

constexpr TColorRef kBlack = 0;
constexpr TColorRef kBlue = 0xFF0000;  // 0x00BBGGRR

// Records what the logic asks of the widget and, as a real edit does, reports every text it is given back as
// a change.
class TFakeView : public TRealEditView {
 public:
  TRealEditLogic* logic = nullptr;
  std::string text;
  bool allSelected = false;
  bool lastSelectAll = false;
  int clearModified = 0;
  TColorRef color = 12345;
  std::string hint;
  bool showHint = false;
  std::vector<std::string> errorBoxes;
  int focusBack = 0;

  void SetEditText(const std::string& t, bool selectAll) override {
    text = t;
    lastSelectAll = selectAll;
    if (logic) logic->TextChanged(t);
  }
  bool IsAllSelected() const override { return allSelected; }
  void ClearModified() override { ++clearModified; }
  void SetTextColor(TColorRef c) override { color = c; }
  void SetHint(const std::string& h, bool show) override {
    hint = h;
    showHint = show;
  }
  void ShowRangeError(const std::string& message) override { errorBoxes.push_back(message); }
  void FocusBack() override { ++focusBack; }
};

// The main window's percentile field.
struct PercentileField {
  TFakeView view;
  TBoundedRealEditLogic edit{&view, kBlack};
  std::vector<bool> validEvents;
  int userChanges = 0;

  PercentileField() {
    view.logic = &edit;
    edit.SetOnEditValid([this](bool valid) { validEvents.push_back(valid); });
    edit.SetOnUserChange([this] { ++userChanges; });
    edit.SetFmtMinC(1.0);
    edit.SetFmtMaxC(100.0);
    edit.SetBoundRange(TRealInterval::tbrClosedUpperLower);
    edit.SetUpperVal(99.99);
    edit.SetLowerVal(10.0);
    edit.TextChanged("98.0");  // the initial text
  }
  // The user focuses the field, types text (each prefix in turn) and leaves it.
  void Type(const std::string& typed) {
    edit.Enter();
    for (std::size_t n = 1; n <= typed.size(); ++n) edit.TextChanged(typed.substr(0, n));
  }
};

TEST(RealEditLogicTest, NewEditIsBlank) {
  TRealEditLogic edit;
  EXPECT_TRUE(edit.IsBlank());
  EXPECT_EQ(edit.GetDouble(), 0.0);
  EXPECT_EQ(edit.Text(), "");
  EXPECT_EQ(edit.InValidColor(), kBlue);
  EXPECT_EQ(edit.BackColor(), 16777215u);
  EXPECT_EQ(edit.NumDecimal(), 2);
  EXPECT_EQ(edit.FmtMaxC(), 100000.0);
  TBoundedRealEditLogic bounded;
  EXPECT_TRUE(bounded.IsBlank());
  EXPECT_EQ(bounded.BoundRange(), TRealInterval::tbrNone);
  EXPECT_EQ(bounded.Hint(), "");
  EXPECT_FALSE(bounded.ShowHint());
}

TEST(RealEditLogicTest, DisplayFormWithoutFocusEditFormWithIt) {
  PercentileField f;
  EXPECT_EQ(f.edit.GetDouble(), 98.0);
  EXPECT_EQ(f.view.text, "98.0");
  EXPECT_FALSE(f.edit.ModifiedByUser());
  EXPECT_EQ(f.userChanges, 0);
  EXPECT_EQ(f.view.hint, "The allowed range is 10.0 <= value <= 99.99.");
  EXPECT_TRUE(f.view.showHint);

  f.view.allSelected = true;  // focus by Tab selects everything, and the rewrite keeps it so
  f.edit.Enter();
  EXPECT_EQ(f.view.text, "98");
  EXPECT_TRUE(f.view.lastSelectAll);
  EXPECT_TRUE(f.edit.Exit());
  EXPECT_EQ(f.view.text, "98.0");
  EXPECT_EQ(f.userChanges, 0);  // the control's own rewrites are no user change
}

TEST(RealEditLogicTest, TypingChangesValueColourAndValidity) {
  PercentileField f;
  f.validEvents.clear();
  f.Type("1e");
  EXPECT_TRUE(f.edit.IsBlank());
  EXPECT_EQ(f.edit.GetDouble(), 0.0);
  EXPECT_EQ(f.view.text, "98");  // the typed text stays as typed; the view is not rewritten
  EXPECT_EQ(f.edit.Text(), "1e");
  EXPECT_EQ(f.view.color, kBlue);
  EXPECT_EQ(f.validEvents, (std::vector<bool>{true, false}));
  EXPECT_TRUE(f.edit.ModifiedByUser());
  EXPECT_EQ(f.userChanges, 2);

  f.edit.TextChanged("12.");
  EXPECT_EQ(f.edit.GetDouble(), 12.0);
  EXPECT_EQ(f.edit.Text(), "12.");
  EXPECT_EQ(f.view.color, kBlack);

  f.edit.SetEnabled(false);
  f.edit.TextChanged("12.5");
  EXPECT_EQ(f.validEvents.size(), 3u);  // a disabled edit does not report validity
}

TEST(RealEditLogicTest, LeavingThePercentileField) {
  const struct {
    const char* typed;
    bool leaves;
    const char* textAfter;
  } cases[] = {
      {"99.99", true, "99.99"}, {"10", true, "10.0"}, {"55.5", true, "55.5"}, {"", true, ""},
      {"1e", true, ""},  // does not convert: blank, which may leave
      {"120", false, ""}, {"9.99", false, ""}, {"100", false, ""}, {"-5", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    PercentileField f;
    f.Type(c.typed);
    if (!*c.typed) f.edit.TextChanged("");
    EXPECT_EQ(f.edit.Exit(), c.leaves);
    EXPECT_EQ(f.view.text, c.textAfter);
    EXPECT_EQ(f.edit.Focused(), !c.leaves);
    EXPECT_EQ(f.view.focusBack, c.leaves ? 0 : 1);
    EXPECT_EQ(f.view.errorBoxes.size(), c.leaves ? 0u : 1u);
    if (!c.leaves) {
      EXPECT_TRUE(f.edit.IsBlank());
      EXPECT_TRUE(f.edit.ModifiedByUser());  // kept through the erasing
      EXPECT_EQ(f.view.errorBoxes[0], std::string("The Value ") + c.typed +
                                          " is not in range.\n\r\rThe allowed range is 10.0 <= value <= 99.99.");
    }
  }
}

TEST(RealEditLogicTest, RangeErrorHandler) {
  PercentileField f;
  f.edit.SetOnRangeError([](std::string&, bool& allowExit) { allowExit = true; });
  f.Type("120");
  EXPECT_TRUE(f.edit.Exit());
  EXPECT_EQ(f.edit.GetDouble(), 120.0);
  EXPECT_TRUE(f.view.errorBoxes.empty());

  std::string toldError;
  f.edit.SetOnRangeError([&](std::string& error, bool&) {
    toldError = error;
    error = "Percentiles go from 10 to 99.99.";
  });
  f.Type("5");
  EXPECT_FALSE(f.edit.Exit());
  EXPECT_EQ(toldError, "The Value 5 is not in range.\n\r\rThe allowed range is 10.0 <= value <= 99.99.");
  EXPECT_EQ(f.view.errorBoxes, std::vector<std::string>{"Percentiles go from 10 to 99.99."});
}

TEST(RealEditLogicTest, NewBoundsPullTheValueAndRewriteTheHint) {
  PercentileField f;
  f.edit.SetDouble(50);
  f.edit.SetLowerVal(60);
  EXPECT_EQ(f.edit.GetDouble(), 60.0);
  EXPECT_EQ(f.view.text, "60.0");
  EXPECT_EQ(f.view.hint, "The allowed range is 60.0 <= value <= 99.99.");
  f.edit.SetUpperVal(55);
  EXPECT_EQ(f.edit.GetDouble(), 55.0);
  EXPECT_EQ(f.view.hint, "The allowed range is 60.0 <= value <= 55.0.");
  f.edit.SetLowerVal(10);
  f.edit.SetDouble(55 + 1e-13);
  f.edit.SetUpperVal(55 + 2e-13);  // within tolerance of the old bound: no change
  EXPECT_EQ(f.edit.UpperVal(), 55.0);
  f.edit.SetNumDecimal(3);
  EXPECT_EQ(f.view.hint, "The allowed range is 10.0 <= value <= 55.0.");
  f.edit.SetFmtMaxC(50);
  EXPECT_EQ(f.view.hint, "The allowed range is 10.0 <= value <= 5.5E+01.");
  EXPECT_EQ(f.view.text, "5.5E+01");
}

TEST(RealEditLogicTest, ValueFromCode) {
  PercentileField f;
  f.Type("1e");
  EXPECT_EQ(f.view.color, kBlue);
  f.edit.SetDouble(42.25);
  EXPECT_EQ(f.edit.Text(), "42.25");  // focused: edit form
  EXPECT_EQ(f.view.color, kBlack);    // the colour follows the rewritten text
  EXPECT_FALSE(f.edit.ModifiedByUser());
  EXPECT_EQ(f.view.clearModified, 1);
  f.edit.SetDouble(std::numeric_limits<double>::infinity());
  EXPECT_TRUE(f.edit.IsBlank());
  EXPECT_EQ(f.edit.Text(), "");
  f.edit.SetSingle(12.5f);
  EXPECT_EQ(f.edit.GetSingle(), 12.5f);
  f.edit.Blank();
  EXPECT_TRUE(f.edit.IsBlank());
}

TEST(RealEditLogicTest, CommaLocale) {
  TFakeView view;
  TRealEditLogic edit(&view);
  view.logic = &edit;
  edit.SetLocale({",", "."});
  edit.Enter();
  EXPECT_EQ(edit.KeyPress(".", "12", ""), std::nullopt);
  EXPECT_EQ(edit.KeyPress(",", "12", ""), ",");
  edit.TextChanged("12,5");
  EXPECT_EQ(edit.GetDouble(), 12.5);
  EXPECT_EQ(view.color, kBlack);
  EXPECT_EQ(edit.Paste("1.234,5", "", ""), "1234,5");
  EXPECT_TRUE(edit.Exit());
  EXPECT_EQ(view.text, "12,5");
}

TEST(RealEditLogicTest, FormatsChosenByTheSettings) {
  TFakeView view;
  TRealEditLogic edit(&view);
  view.logic = &edit;
  edit.SetDouble(3.14159);
  EXPECT_EQ(view.text, "3.14");
  edit.SetDisplayFormat("%.3f");
  EXPECT_EQ(view.text, "3.142");
  EXPECT_THROW(edit.SetDisplayFormat("%s"), std::invalid_argument);
  EXPECT_EQ(edit.DisplayFormat(), "%.3f");
  edit.SetDisplayFormat("");
  edit.SetFormatWithAccuracy(true, [](double) { return std::string("3.1416"); });
  EXPECT_EQ(view.text, "3.1416");
  edit.SetEditFormat("0.0");
  edit.Enter();
  EXPECT_EQ(view.text, "3.1");
  edit.SetOnGetText([](double v, std::string& text, bool display) { text = (display ? "D" : "E") + std::to_string(int(v)); });
  edit.Enter();
  EXPECT_EQ(view.text, "E3");
  edit.Exit();
  EXPECT_EQ(view.text, "D3");
}

}  // namespace
}  // namespace zorvik
