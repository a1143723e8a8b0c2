#pragma once

namespace oq::server {

// Prepares the calling thread for the objects the library creates on it; runs before each
// creation, on the creating thread (cMAIN is apartment-threaded, so that is the thread it lives
// on). Installs what the thread needs once and does nothing on later calls. May throw Failure.
void InitializeThread();

}  // namespace oq::server
