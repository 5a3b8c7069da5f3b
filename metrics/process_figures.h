#pragma once
// The standard process metrics of a Prometheus client, read from the kernel: CPU time from
// getrusage, the resident size from /proc/self/statm, the open descriptors from
// /proc/self/fd and the start time from /proc/self/stat and the boot time in /proc/stat.

#include "metrics/metric_values.h"

namespace quorvex::metrics {

class ProcessReader {
  public:
    // Reads the start time, which never changes, once.
    ProcessReader();
    ProcessFigures Read() const;

  private:
    double startTimeSeconds_ = 0;
};

}  // namespace quorvex::metrics
