<?php
// Deletes a checked work stored under testedwork/.
require __DIR__ . '/lib/common.php';

require_post();
$name = $_POST['nameDeleteFile'] ?? '';
if (!is_stored_name($name)) fail(400, 'bad file name');
$path = storage_dir() . "/$name";
if (!is_file($path)) fail(404, 'no such file');
if (!unlink($path)) fail(500, 'cannot delete the file');
echo "OK\n";
