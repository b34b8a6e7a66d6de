// Web backend: the fixed-function GL layer started on the page's WebGL 2 context. Page main thread.
#include "platform/web/web.h"

namespace web {

void start_gl_layer() {}

}  // namespace web
