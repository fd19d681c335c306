// The suites' precompiled headers: the project's, and GoogleTest.
#pragma once

#include "precompiled.h"

#include <gtest/gtest.h>
