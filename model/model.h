#pragma once

#include "modelsubclass.h"

//! Typed base of a record class T; carries only the model name.
template<typename T>
class Model : public ModelSubclass
{
public:
    explicit Model(const QString &modelName)
        : ModelSubclass(modelName)
    {
    }
};
