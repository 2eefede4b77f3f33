-- The bundled sample database: the planets of the solar system and their
-- larger moons.  scripts/run-sample.sh builds samples/sample3.db (SQLite 3.x)
-- and samples/sample2.db (SQLite 2.x) from this script.
CREATE TABLE planet (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  kind TEXT,
  radius_km REAL,
  moons INTEGER
);
INSERT INTO planet VALUES (1, 'Mercury', 'terrestrial', 2439.7, 0);
INSERT INTO planet VALUES (2, 'Venus', 'terrestrial', 6051.8, 0);
INSERT INTO planet VALUES (3, 'Earth', 'terrestrial', 6371.0, 1);
INSERT INTO planet VALUES (4, 'Mars', 'terrestrial', 3389.5, 2);
INSERT INTO planet VALUES (5, 'Jupiter', 'gas giant', 69911, 95);
INSERT INTO planet VALUES (6, 'Saturn', 'gas giant', 58232, 146);
INSERT INTO planet VALUES (7, 'Uranus', 'ice giant', 25362, 28);
INSERT INTO planet VALUES (8, 'Neptune', 'ice giant', 24622, 16);
CREATE TABLE moon (
  id INTEGER PRIMARY KEY,
  planet_id INTEGER,
  name TEXT,
  radius_km REAL
);
INSERT INTO moon VALUES (1, 3, 'Moon', 1737.4);
INSERT INTO moon VALUES (2, 4, 'Phobos', 11.3);
INSERT INTO moon VALUES (3, 4, 'Deimos', 6.2);
INSERT INTO moon VALUES (4, 5, 'Io', 1821.6);
INSERT INTO moon VALUES (5, 5, 'Europa', 1560.8);
INSERT INTO moon VALUES (6, 5, 'Ganymede', 2634.1);
INSERT INTO moon VALUES (7, 5, 'Callisto', 2410.3);
INSERT INTO moon VALUES (8, 6, 'Titan', 2574.7);
INSERT INTO moon VALUES (9, 6, 'Enceladus', 252.1);
INSERT INTO moon VALUES (10, 7, 'Titania', 788.4);
INSERT INTO moon VALUES (11, 8, 'Triton', 1353.4);
CREATE VIEW planet_moons AS
  SELECT planet.name AS planet, moon.name AS moon, moon.radius_km AS radius_km
  FROM moon, planet WHERE moon.planet_id = planet.id;
