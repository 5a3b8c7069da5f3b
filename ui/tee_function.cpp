#include "ui/tee_function.h"

#include "ui/chart_exception.h"

namespace quorvex::ui {

void TTeeFunction::SetPeriod(double period) {
    if (period < 0) throw ChartException(translation::ResString::ChartFunctionPeriod);
    period_ = period;
}

}  // namespace quorvex::ui
