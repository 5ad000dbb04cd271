# The strategy toolkit: geometry is stateless and linked directly; the world queries, the motion
# helpers and the sample player run inside fresh library copies.
touchline_unit_suite(geometry unit/GeometryTest.cpp LINK_TOOLKIT)
