#pragma once

namespace fb {

// Long work on the user-interface thread keeps the window alive through these
// points; headless runs and tests leave them empty.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void dispatchOnePending() {}
    virtual void dispatchAllPending() {}
    virtual void repaintNow() {}
};

} // namespace fb
