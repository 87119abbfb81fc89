#pragma once

#include <functional>

// How the API client ends the signed-in session when the refresh token has expired. The
// account subsystem binds its logout here at start-up (it lives above this library); until
// then nothing is signed out and the failed request simply ends with its error.
class SessionSignOut {
public:
    using Handler = std::function<void()>;

    // Runs on the main thread. Replaces any earlier handler; an empty one unbinds.
    static void bind(Handler handler);
    static bool isBound();
    // Calls the bound logout; false when none is bound.
    static bool signOut();
};
