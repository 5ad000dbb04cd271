touchline_unit_suite(commands unit/CommandsTest.cpp)
