#include "framework/System.h"

struct TClassTypeData {};

void qm_detail::InitTypeData(TClassInfo& info)
{
    info.TypeData = std::make_shared<TClassTypeData>();
}
