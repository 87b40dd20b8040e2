#pragma once
// A store that times every operation of another into the metrics' histogram, labelled by
// operation: how long publications, probe rounds and reads wait for the store shows there.
#include "directory_store.h"
#include "metrics.h"

#include <memory>

std::unique_ptr<DirectoryStore> MakeTimedStore(std::unique_ptr<DirectoryStore> store, HistogramFamily& seconds);
