#include "core/CInputPolicy.h"

#include <iterator>

namespace {

using Origin = CCommand::Origin;

const CInputPolicy kPolicies[] = {
    {Origin::Operator, false, false}, {Origin::Net, true, true},       {Origin::Osc, true, true},
    {Origin::Web, true, true},        {Origin::Mpris, false, true},    {Origin::Sync, false, true},
    {Origin::Dmx, true, true},        {Origin::Timecode, false, true},
};

} // namespace

const CInputPolicy &CInputPolicy::For(CCommand::Origin origin) {
    for (const CInputPolicy &policy : kPolicies)
        if (policy.origin == origin)
            return policy;
    // An origin without a row is held to the strictest one.
    return kPolicies[1];
}

bool CInputPolicy::Admits(CCommand::Origin origin, int nRemoteCtrl) {
    return !For(origin).bGated || nRemoteCtrl == REMOTE_CTRL_ETHERNET;
}
