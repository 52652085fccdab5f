#include "Module/General/General/GeneralError.h"
#include "Module/General/General/GeneralFile.h"

#include <new>
#include <stdexcept>

namespace kvt {

std::optional<GneBlock> GneAlloc(size_t size) {
    try {
        return GneBlock(size);  // value-initialised: zero-filled
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    ShowGeneralError(kGneErrorNoMemory);
    return std::nullopt;
}

void GneFree(std::optional<GneBlock>& block) {
    block.reset();
}

}  // namespace kvt
