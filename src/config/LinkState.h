// The line the serial primitives open: the port chosen for the session (or for a probe).
#pragma once

namespace vantrell {

struct LinkState {
    int portNumber = 1;
};

} // namespace vantrell
