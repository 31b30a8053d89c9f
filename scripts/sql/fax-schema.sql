-- The table of the fax database that the client report counts from.
CREATE TABLE FAX (
    SITE INTEGER,
    DATES VARCHAR(20),
    ONGLET VARCHAR(20)
);
