#include "loaders/terminal/term_path.h"

#include "loaders/run/loader_host.h"

namespace loaders {

void StartTerminalPath(update::RunHost& run, std::unique_ptr<TTermProg>& terminal) {
  terminal.reset();
  serial::TComPort* port = InstrumentPort(run, "Basic-Loader");
  if (!port) {
    run.LoaderEnded(update::LoaderResult::Failed());
    return;
  }
  terminal = std::make_unique<TTermProg>();
  TermHost host{run.Events(),
                *port,
                run.View(),
                run.Language(),
                run.Record().Reply208Char,
                [&run](const std::string& text) { return run.Expand(text); },
                [&run](const update::LoaderResult& result) { run.LoaderEnded(result); }};
  StartTermProg(*terminal, host);
}

}  // namespace loaders
