#include "translation/file_mapping.h"

#include <system_error>
#include <utility>

#include "translation/translation_error.h"

namespace quorvex::translation {

FileMapping FileMapping::Map(const std::string& path, const std::string& name, std::uint64_t offset,
                             std::uint64_t size) {
    platform::ReadOnlyMapping mapping = platform::ReadOnlyMapping::Map(path, offset, size);
    switch (mapping.Failure()) {
        case platform::MapFailure::None:
            return FileMapping(std::move(mapping));
        case platform::MapFailure::Open:
            throw ETranslationError("Cannot open file " + name);
        case platform::MapFailure::NotMappable:
            break;
        case platform::MapFailure::Map:
            throw ETranslationError("Cannot map file " + name + " into memory. Reason: " +
                                    std::generic_category().message(mapping.Error()));
    }
    throw ETranslationError("Cannot create memory map on file " + name);
}

}  // namespace quorvex::translation
