#include "session.h"

#include <filesystem>
#include <memory>
#include <sstream>

#include "driver/command_line.h"
#include "driver/program.h"
#include "test_support.h"

namespace qv::test {

SessionResult runSession(const std::string& answers) {
  std::istringstream in(answers);
  std::ostringstream console;
  SessionResult result;
  {
    // The program object holds every runner and translator: too large for the stack.
    auto program = std::make_unique<Program>(in, console);
    result.status = program->main();
  }
  result.console = console.str();
  return result;
}

Conversion convert(const std::vector<uint8_t>& capture, const std::string& laterAnswers) {
  static int sequence = 0;
  const std::string stem = "session-" + std::to_string(++sequence);
  const std::string dataPath = tempPath(stem + ".cap");
  const std::string reportPath = tempPath(stem + ".txt");
  writeFile(dataPath, capture);

  Conversion conversion;
  conversion.session = runSession(dataPath + "\n" + reportPath + "\n" + laterAnswers);
  std::error_code ignored;
  if (std::filesystem::exists(reportPath, ignored)) {
    conversion.report = maskTopLine(readFile(reportPath));
  }
  std::filesystem::remove(dataPath, ignored);
  std::filesystem::remove(reportPath, ignored);
  return conversion;
}

CliRun runCli(const std::vector<std::string>& args, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  CliRun run;
  run.status = runCommandLine(args, Terminal{in, out, err, false});
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace qv::test
