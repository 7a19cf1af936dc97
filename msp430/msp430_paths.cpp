#include "msp430/msp430_paths.h"

#include "msp430/bsl430.h"
#include "msp430/bsl54xx430.h"
#include "package/device_file.h"
#include "update/engine.h"

namespace msp430 {

std::unique_ptr<Msp430Loader> MakeLoader(const LoaderHost& host, update::Msp430Job job,
                                         int32_t prozTyp) {
  if (job != update::Msp430Job::kSecondary && prozTyp == kProcessorF5xx)
    return std::make_unique<T_BSL_54XX_430>(host);
  return std::make_unique<T_BSL430>(host);
}

int32_t RunMsp430Loader(update::UpdateEngine& engine, const update::Msp430Call& call) {
  serial::TComPort* port = engine.ActiveComPort();
  if (!port) {
    engine.View().AppendLog("MSP430 boot loader: no port to the instrument.");
    return 0;
  }
  const LoaderHost host{engine.Events(),
                        *port,
                        engine.Context,
                        engine.View(),
                        engine.Language(),
                        engine.Devices().StartMode,
                        [&engine](const std::string& text) { engine.LogLine(text); },
                        [&engine](int32_t processorType) {
                          return package::DefaultFileForProcessor(engine.Devices(), processorType);
                        }};
  std::unique_ptr<Msp430Loader> loader = MakeLoader(host, call.job, engine.Context.ProzTyp);
  const int32_t result = loader->Execute(call.bslMode, call.file, call.syncFirst, call.altEntry);
  if (!result && loader->GetErrorCode() != 0) {
    engine.NoteFailure(StepName(loader->GetErrorCode()), loader->GetErrorCode());
  }
  return result;
}

}  // namespace msp430
