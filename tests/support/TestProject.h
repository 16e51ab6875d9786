#pragma once
// A small generated run for command-line tests: a POSTFILE of `receptors` x `hours` (from 96010101) with the
// given values and its PLOTFILE, in a folder that removes itself.
#include <functional>
#include <string>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik::test {

struct TestProject {
  using TValue = std::function<double(int hour, int type, int receptor)>;

  TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot;

  TestProject(int receptors, int hours, const TValue& value, TPostFileLayout layout = {},
              const std::string& plotName = "run.plt")
      : plot(dir.File(plotName)) {
    layout.Receptors = receptors;
    WritePostFile(post, layout, 96010101, hours, value);
    WriteSamplePlotFile(plot, SampleGrid(receptors));
  }
  // "--post '<post>' --plot '<plot>'"
  std::string Inputs() const { return "--post '" + post + "' --plot '" + plot + "'"; }
};

}  // namespace zorvik::test
