#pragma once

struct xcb_connection_t;

namespace ondrake {

// The application's own connection to the X server; none on any other platform.
xcb_connection_t *applicationXcbConnection();

}  // namespace ondrake
