#pragma once
// The stores the service's tests run over. A test suite instantiated with AllStores() runs
// each of its tests once per store, and each run gets a fresh, empty store of its own.
#include "service_settings.h"
#include "test_peers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

enum class StoreKind { Sqlite };

std::vector<StoreKind> AllStores();
std::string StoreRowName(const ::testing::TestParamInfo<StoreKind>& row);

// Points the settings at a fresh store of the kind: an SQLite file in the folder.
void UseFreshStore(StoreKind kind, const TempFolder& folder, ServiceSettings* settings);
// The program's arguments that choose the store the settings name.
std::vector<std::string> StoreArguments(const ServiceSettings& settings);
