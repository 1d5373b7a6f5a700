#include "core/SlabLink.h"

namespace littoral {

SlabLink& singleProcess() {
    static SlabLink link;
    return link;
}

}  // namespace littoral
