#include "runtime/TargetAction.h"

bool objc_sendAction(SEL action, id target, id sender)
{
    if (!target || !action || !target->respondsToSelector(action))
        return false;
    objc::send<void>(target, action, sender);
    return true;
}
