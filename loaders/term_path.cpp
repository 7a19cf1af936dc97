#include "loaders/term_path.h"

#include "update/event_codes.h"

namespace loaders {

void StartTerminalPath(update::UpdateEngine& engine, std::unique_ptr<TTermProg>& terminal) {
  terminal.reset();
  serial::TComPort* port = engine.ActiveComPort();
  if (!port) {
    engine.ProgrammingFailed(update::ev::kSecondaryFailed);
    return;
  }
  terminal = std::make_unique<TTermProg>();
  TermHost host{engine.Events(),
                *port,
                engine.View(),
                engine.Language(),
                engine.Context.Reply208Char,
                [&engine](const std::string& text) { return engine.Expand(text); },
                [&engine](bool programmed) {
                  if (programmed) {
                    engine.AwaitGreeting();
                  } else {
                    engine.ProgrammingFailed(update::ev::kSecondaryFailed);
                  }
                }};
  StartTermProg(*terminal, host);
}

}  // namespace loaders
