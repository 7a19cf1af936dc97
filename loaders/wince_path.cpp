#include "loaders/wince_path.h"

#include "loaders/wince_prog.h"
#include "update/engine.h"

namespace loaders {

int32_t RunWinCeTransfer(update::UpdateEngine& engine, const std::string& file) {
  serial::TComPort* port = engine.ActiveComPort();
  if (!port) {
    engine.View().AppendLog("WinCE transfer: no port to the instrument.");
    return 0;
  }
  const msp430::LoaderHost host{engine.Events(),
                                *port,
                                engine.Context,
                                engine.View(),
                                engine.Language(),
                                engine.Devices().StartMode,
                                [&engine](const std::string& text) { engine.LogLine(text); },
                                {}};
  TWinCEProg transfer(host);
  return transfer.Download(0, file, engine.State().ForceSameVersion) ? 1 : 0;
}

}  // namespace loaders
