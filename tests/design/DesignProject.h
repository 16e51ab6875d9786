#pragma once
// A generated run for the design tests: a POSTFILE of hours from a first date (some hours may be left out), its
// PLOTFILE and, when some hour is calm, a met file marking them; with the hours as the reference reads them (a
// Lahey file stores single values: give it values that single precision holds exactly).
#include <functional>
#include <string>
#include <vector>

#include "design/DesignReference.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "rolling/RollingReference.h"
#include "support/TestSupport.h"

namespace zorvik::designtest {

struct TProject {
  using TValueFn = std::function<double(int hour, int type, int receptor)>;
  using THourFn = std::function<bool(int hour)>;

  test::TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot = dir.File("run.plt");
  std::string met;
  int receptors;
  std::vector<THours> types;  // the reference's hours of each output type

  // `hours` calendar hours from firstDate; `absent` hours get no record, `calm` ones are calm in the met file.
  TProject(int receptors_, int32_t firstDate, int hours, const TValueFn& value, const THourFn& calm = {},
           const THourFn& absent = {}, TPostOutTypes outTypes = {TPostOutType::poConc},
           TPostFraming framing = TPostFraming::pfStandard)
      : receptors(receptors_), types(static_cast<size_t>(outTypes.Count())) {
    TPostFileLayout layout;
    layout.Receptors = receptors;
    layout.Types = outTypes;
    layout.Framing = framing;
    layout.DoublePrecision = framing != TPostFraming::pfLahey;  // Lahey files hold single values
    {
      TPostFileWriter writer(post, layout);
      std::vector<double> values(static_cast<size_t>(outTypes.Count() * receptors));
      for (auto& t : types) t.Values.resize(static_cast<size_t>(receptors));
      int32_t date = firstDate;
      for (int h = 0; h < hours; ++h, date = AdvanceDateOneHour(date)) {
        if (absent && absent(h)) continue;
        for (size_t k = 0; k < types.size(); ++k) {
          types[k].Dates.push_back(date);
          types[k].Calm.push_back(calm && calm(h) ? 1 : 0);
          for (int r = 0; r < receptors; ++r) {
            const double v = value(h, static_cast<int>(k), r);
            values[k * static_cast<size_t>(receptors) + static_cast<size_t>(r)] = v;
            types[k].Values[static_cast<size_t>(r)].push_back(v);
          }
        }
        writer.WriteHour(date, values);
      }
      writer.Close();
    }
    WriteSamplePlotFile(plot, SampleGrid(receptors));
    if (calm) {
      met = dir.File("run.sfc");
      rolltest::WriteMetFile(met, firstDate, hours, calm);
    }
  }
  // "--post '<post>' --plot '<plot>' [--met '<met>']"
  std::string Inputs() const {
    return "--post '" + post + "' --plot '" + plot + "'" + (met.empty() ? "" : " --met '" + met + "'");
  }
};

}  // namespace zorvik::designtest
