touchline_unit_suite(world unit/WorldTest.cpp)
