#include "catalogueview.h"

namespace miravon {

void populateCatalogue(ViewerWindow&) {}

} // namespace miravon
