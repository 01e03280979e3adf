#pragma once

// Input handed to a window the way the X server hands over a user's: through
// a connection of its own, queued, and to that window whatever others the
// display shows over it. The connection is opened up front, so a send costs
// no connection setup; one thread at a time may use it.
class X11KeySender {
public:
    X11KeySender();
    ~X11KeySender();
    X11KeySender(const X11KeySender&) = delete;
    X11KeySender& operator=(const X11KeySender&) = delete;

    bool connected() const { return m_display != nullptr; }
    // A press and release of Shift; false when not sent.
    bool SendShift(unsigned long windowId);

private:
    void* m_display = nullptr;
};
