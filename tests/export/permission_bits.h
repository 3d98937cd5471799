// Makes file permission bits stop the calling thread even when the tests run as root: while an
// object of this class lives, the capabilities that let root read and write past them
// (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) are lowered from the thread's effective set; they
// stay permitted and are raised again at the end. Without these capabilities nothing changes.
// The window does its file work on the thread that runs the tests.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvalin {

class PermissionBitsEnforced {
public:
    PermissionBitsEnforced() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~PermissionBitsEnforced() {
        if (lowered_) ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionBitsEnforced(const PermissionBitsEnforced&) = delete;
    PermissionBitsEnforced& operator=(const PermissionBitsEnforced&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

}  // namespace orvalin
