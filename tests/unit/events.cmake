touchline_unit_suite(events unit/EventsTest.cpp)
