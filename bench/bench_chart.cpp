// Redraw of the viewer's chart after a receptor change: a year (8,760 bars) and five years (43,800) of
// ordered hours, drawn into a picture the size of the window's chart.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <vector>

#include "app/OrderedHoursChart.h"

namespace {

std::vector<float> OrderedHours(int count) {
  std::vector<float> v(static_cast<size_t>(count) + 1, 0.0f);
  for (int i = 0; i < count; ++i) v[static_cast<size_t>(i)] = 120.0f * std::exp(-6.0f * static_cast<float>(i) / count);
  return v;
}

void BM_ChartRedraw(benchmark::State& state) {
  const int bars = static_cast<int>(state.range(0));
  const std::vector<float> hours = OrderedHours(bars);
  zorvik::TOrderedHoursChart chart;
  chart.resize(627, 375);
  chart.SetAxesVisible(true);
  chart.SetTitle({"Series Plot for Receptor # 7", "Located at: 100.00,200.00", ""});
  chart.SetFooter({"", "notice"});
  QImage image(chart.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    chart.SetBars(hours, bars / 50);  // what a receptor change does: new series, then a full paint
    QPainter painter(&image);
    chart.Paint(painter, image.rect());
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_ChartRedraw)->Arg(8760)->Arg(43800)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
