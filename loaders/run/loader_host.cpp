#include "loaders/run/loader_host.h"

#include "package/messages.h"

namespace loaders {

LoaderHost HostFor(update::RunHost& run, serial::TComPort& port) {
  return LoaderHost{run.Events(),
                    port,
                    run.Record(),
                    run.View(),
                    run.Language(),
                    run.Devices().StartMode,
                    [&run](const std::string& text) { run.LogLine(text); },
                    [&run](int32_t processorType) {
                      return package::DefaultFileForProcessor(run.Devices(), processorType);
                    },
                    &run};
}

serial::TComPort* InstrumentPort(update::RunHost& run, std::string_view loader) {
  serial::TComPort* port = run.ActiveComPort();
  if (!port)
    run.View().AppendLog(messages::Filled(messages::MSG_LOADER_NO_PORT, run.Language(), loader));
  return port;
}

}  // namespace loaders
