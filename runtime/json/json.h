// The engine's JSON: values, reader and pretty writer.
#pragma once
#include "runtime/json/json_escape.h"
#include "runtime/json/json_reader.h"
#include "runtime/json/json_scalar.h"
#include "runtime/json/json_value.h"
#include "runtime/json/json_writer.h"
