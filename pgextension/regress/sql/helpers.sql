-- Helpers of the suite, in a schema of their own: a repoV2 frame around one JSON text and the
-- JSON text of an answer frame.
CREATE SCHEMA regress;
GRANT USAGE ON SCHEMA regress TO PUBLIC;

-- theValue as four little-endian bytes, the frame's length fields.
CREATE FUNCTION regress.le32(theValue integer) RETURNS bytea LANGUAGE sql IMMUTABLE AS $$
    SELECT decode(string_agg(lpad(to_hex((theValue >> (8 * i)) & 255), 2, '0'), '' ORDER BY i),
                  'hex')
    FROM generate_series(0, 3) AS i
$$;

-- A frame of one field: "repoV2", the field count, the field's length and the JSON text.
CREATE FUNCTION regress.frame(theJson text) RETURNS bytea LANGUAGE sql IMMUTABLE AS $$
    SELECT 'repoV2'::bytea || regress.le32(1)
           || regress.le32(octet_length(convert_to(theJson, 'UTF8'))) || convert_to(theJson, 'UTF8')
$$;

-- The JSON text of an answer frame (its first field).
CREATE FUNCTION regress.answer(theFrame bytea) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT convert_from(substring(theFrame FROM 15 FOR get_byte(theFrame, 10)
                                  + 256 * get_byte(theFrame, 11) + 65536 * get_byte(theFrame, 12)),
                        'UTF8')
$$;
