#pragma once
// The error the chart raises when a property is given a value it refuses. The message comes
// from the resource-string table, so it reaches the user in their language.

#include <stdexcept>
#include <string>

#include "translation/resource_strings.h"

namespace quorvex::ui {

class ChartException : public std::runtime_error {
  public:
    explicit ChartException(translation::ResString id)
        : std::runtime_error(translation::LoadResString(id)) {}
};

}  // namespace quorvex::ui
