#include "registry.h"

Registry *Registry::instance()
{
    static Registry registry;
    return &registry;
}
