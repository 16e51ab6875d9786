// The ordered-hours chart: the marked bar stays visible at any bar count, the pixel columns draw their
// tallest bar, and pointing finds the bar drawn under the pointer.
#include <QImage>
#include <QTest>

#include <vector>

#include "app/OrderedHoursChart.h"

using zorvik::TBarColumns;
using zorvik::TOrderedHoursChart;

namespace {

// Descending values like a receptor's ordered hours, and the trailing zero bar.
std::vector<float> OrderedHours(int count) {
  std::vector<float> v(static_cast<size_t>(count) + 1, 0.0f);
  for (int i = 0; i < count; ++i) v[static_cast<size_t>(i)] = 100.0f * static_cast<float>(count - i) / count;
  return v;
}

// The widest run of pure red pixels in the picture's row y.
int RedRun(const QImage& image, int y) {
  int best = 0, run = 0;
  for (int x = 0; x < image.width(); ++x) {
    run = image.pixel(x, y) == qRgb(255, 0, 0) ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

}  // namespace

class ChartTest : public QObject {
  Q_OBJECT
 private slots:
  void MarkedBarVisibleAtAnyCount_data() {
    QTest::addColumn<int>("bars");
    QTest::addColumn<int>("marked");
    QTest::newRow("one year") << 8760 << 175;
    QTest::newRow("five years") << 43800 << 876;
    QTest::newRow("five years, last bar") << 43800 << 43799;
    QTest::newRow("few bars, first") << 12 << 0;
  }
  void MarkedBarVisibleAtAnyCount() {
    QFETCH(int, bars);
    QFETCH(int, marked);
    TOrderedHoursChart chart;
    chart.resize(627, 375);
    chart.SetAxesVisible(true);
    chart.SetTitle({"Series Plot for Receptor # 7", "Located at: 1.00,2.00", ""});
    chart.SetBars(OrderedHours(bars), marked);
    const QRect red = chart.MarkedBarRect();
    QVERIFY(red.width() >= 2);
    QVERIFY(chart.PlotArea(chart.rect()).contains(red));
    // Drawn as laid out: two or more red pixels side by side at the bar's foot.
    const QImage image = chart.Picture(chart.size());
    QVERIFY(RedRun(image, red.bottom()) >= 2);
    // Pointing at it names it.
    QCOMPARE(chart.BarAt(red.center()), marked);
    QVERIFY(chart.BarText(marked).startsWith(QStringLiteral("Rank %1: ").arg(marked + 1)));
  }

  void NoRedWithoutMarkedBar() {
    TOrderedHoursChart chart;
    chart.resize(627, 375);
    chart.SetBars(OrderedHours(100), 175);  // the percentile lies past the kept hours
    QCOMPARE(chart.MarkedBar(), -1);
    QVERIFY(chart.MarkedBarRect().isEmpty());
    const QImage image = chart.Picture(chart.size());
    for (int y = 0; y < image.height(); y += 3) QCOMPARE(RedRun(image, y), 0);
  }

  void ColumnDrawsItsTallestBar() {
    // Five bars in two columns: 0..2 start in column 0, 3..4 in column 1.
    const std::vector<float> values{1.0f, 7.0f, 3.0f, 2.0f, 5.0f};
    const TBarColumns columns{5, 2};
    QCOMPARE(columns.StartColumn(2), 0);
    QCOMPARE(columns.StartColumn(3), 1);
    QCOMPARE(columns.BarAtColumn(0, values.data()), int64_t{1});
    QCOMPARE(columns.BarAtColumn(1, values.data()), int64_t{4});
    QCOMPARE(columns.BarAtColumn(2, values.data()), int64_t{-1});
    // Few bars: each covers several columns.
    const TBarColumns wide{3, 30};
    QCOMPARE(wide.BarAtColumn(19, values.data()), int64_t{1});
    QCOMPARE(wide.BarAtColumn(20, values.data()), int64_t{2});
    QCOMPARE(wide.Span(2, 2), std::make_pair(20, 30));
    // A marked bar at the right edge keeps its two pixels inside the plot.
    const TBarColumns dense{43800, 500};
    QCOMPARE(dense.Span(43799, 2), std::make_pair(498, 500));
  }

  void TallBarsReachTheTopOfThePlot() {
    TOrderedHoursChart chart;
    chart.resize(627, 375);
    chart.SetBars({10.0f, 5.0f, 0.0f}, -1);
    const QRect plot = chart.PlotArea(chart.rect());
    const QImage image = chart.Picture(chart.size());
    // The first bar (10, the scale's top) fills its column to the plot's top; the trailing zero bar draws nothing.
    QCOMPARE(QColor(image.pixel(plot.left() + 5, plot.top())), TOrderedHoursChart::BarColorNormal());
    QCOMPARE(QColor(image.pixel(plot.right() - 5, plot.bottom())), QColor(Qt::white));
  }
};

QTEST_MAIN(ChartTest)
#include "ChartTest.moc"
