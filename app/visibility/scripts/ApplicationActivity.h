#pragma once

namespace lurkel {

// The application's "am I the active application?" and "make me active again", for code
// below the GUI (the script runner gives the focus back after a script that may take it).
// The GUI supplies the real one; both are called on the main thread.
class ApplicationActivity {
public:
    virtual ~ApplicationActivity() = default;
    virtual bool isActive() const = 0;
    virtual void activateIgnoringOtherApps() = 0;
};

} // namespace lurkel
