#include "runtime/DemoState.hpp"

DemoState demo;
