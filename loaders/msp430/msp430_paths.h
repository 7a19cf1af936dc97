// The MSP430 programming path of the update engine: the loader for the instrument's processor,
// created for one job, run, and destroyed.
#pragma once

#include <cstdint>
#include <memory>

#include "loaders/msp430/chip_table.h"
#include "loaders/msp430/loader_run.h"
#include "update/programming_paths.h"

namespace msp430 {

// The loader a job needs: the F5xx loader for ProzTyp kProcessorF5xx (main firmware and its retry),
// otherwise, and always for the secondary processor, the classic loader.
std::unique_ptr<Msp430Loader> MakeLoader(const LoaderHost& host, update::Msp430Job job,
                                         int32_t prozTyp);
// Runs one job on the run's port.
update::LoaderResult RunMsp430Loader(update::RunHost& run, const update::Msp430Call& call);

// The MSP430 part of the programming paths; loaders::LoaderPaths adds the other loaders.
class Msp430Paths : public update::ProgrammingPaths {
 public:
  update::LoaderResult RunMsp430(update::RunHost& run, const update::Msp430Call& call) override {
    return RunMsp430Loader(run, call);
  }
};

}  // namespace msp430
