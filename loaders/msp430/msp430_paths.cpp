#include "loaders/msp430/msp430_paths.h"

#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/bsl54xx430.h"
#include "package/device_file.h"

namespace msp430 {

std::unique_ptr<Msp430Loader> MakeLoader(const LoaderHost& host, update::Msp430Job job,
                                         int32_t prozTyp) {
  if (job != update::Msp430Job::kSecondary && prozTyp == kProcessorF5xx)
    return std::make_unique<T_BSL_54XX_430>(host);
  return std::make_unique<T_BSL430>(host);
}

update::LoaderResult RunMsp430Loader(update::RunHost& run, const update::Msp430Call& call) {
  serial::TComPort* port = loaders::InstrumentPort(run, "MSP430");
  if (!port) return update::LoaderResult::Failed();
  std::unique_ptr<Msp430Loader> loader =
      MakeLoader(loaders::HostFor(run, *port), call.job, run.Record().ProzTyp);
  return loader->Execute(call.bslMode, call.file, call.syncFirst, call.altEntry);
}

}  // namespace msp430
