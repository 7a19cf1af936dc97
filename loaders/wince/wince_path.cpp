#include "loaders/wince/wince_path.h"

#include "loaders/run/loader_host.h"
#include "loaders/wince/wince_prog.h"

namespace loaders {

update::LoaderResult RunWinCeTransfer(update::RunHost& run, const std::string& file) {
  serial::TComPort* port = InstrumentPort(run, "WinCE");
  if (!port) return update::LoaderResult::Failed();
  TWinCEProg transfer(HostFor(run, *port));
  return transfer.Download(0, file, run.ForceSameVersion());
}

}  // namespace loaders
