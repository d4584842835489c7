#pragma once

#include <optional>

// What the main frame needs from the view it hosts. Commands reach the view first;
// what it does not handle falls through to the frame.
class FrameClient
{
public:
    virtual ~FrameClient() = default;

    // Handles a command id; false when the id is not the view's.
    virtual bool OnCommand(int id) = 0;
    // The view's enable rule for a command, or nothing when it has none.
    virtual std::optional<bool> commandEnabled(int id) const = 0;
    // Called on every close request of the frame; true when the frame may close now.
    virtual bool closeRequested() = 0;
};
