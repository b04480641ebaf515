#pragma once

#include "pages/PageList.h"

// A page with the given picture name and parameters.
inline PlayItem page(const QString& name, int in, int out, int add, int time, int speed) {
    PlayItem item;
    item.FileName = name;
    item.InMode = static_cast<uint8_t>(in);
    item.OutMode = static_cast<uint8_t>(out);
    item.AddMode = static_cast<uint8_t>(add);
    item.DispTime = static_cast<uint8_t>(time);
    item.DispSpeed = static_cast<uint8_t>(speed);
    return item;
}
