// Run-wide switches of the application, fixed once the options have been read.
#pragma once

// Customer mode (true by default): the log is filtered and the super-user controls are hidden.
void SuperUserModeSet(bool on);
bool isInCustomerMode();
// Whether the chip is reset on connection without asking the user (true by default).
void AutoResetDutOnConnect(bool on);
bool isAutoResetDutEnabled();
