# The shipped sample library, loaded as the simulator loads it.
touchline_unit_suite(strategylibrary unit/StrategyLibraryTest.cpp)
touchline_suite_loads_sample(strategylibrary)
